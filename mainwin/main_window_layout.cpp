// The controls of the configuration window and where they stand, in twips.
#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>

#include "config/numeric.h"
#include "mainwin/field_controls.h"
#include "mainwin/main_window.h"
#include "ui/fixed_window.h"
#include "ui/fonts.h"
#include "ui/lamp.h"
#include "ui/list_box.h"
#include "ui/locked_combo.h"
#include "ui/spin_control.h"
#include "ui/text_box.h"
#include "ui/twips.h"

namespace korimo {
namespace {

using ui::MakeLabel;
using ui::MakeNamed;
using ui::PlaceTwips;

constexpr int kClientWidth = 6525;   // twips
constexpr int kClientHeight = 4635;  // down to the bottom of the status row

}  // namespace

void s::BuildControls() {
  ui::SetUpFixedWindow(*this, QStringLiteral("s"), QString::fromUtf8(kApplicationTitle));

  client_ = MakeNamed<QWidget>(this, QStringLiteral("client"));
  setCentralWidget(client_);
  client_->setFixedSize(ui::Px(kClientWidth), ui::Px(kClientHeight));

  fraSN = MakeNamed<QGroupBox>(client_, QStringLiteral("fraSN"), "Serial Number");
  PlaceTwips(*fraSN, 120, 120, 2295, 1335);
  txtSN = MakeNamed<ui::TextBox>(fraSN, QStringLiteral("txtSN"));
  txtSN->setText(QStringLiteral("-----"));
  txtSN->setToolTip(QStringLiteral("Enter PCB Serial Number"));
  txtSN->setFont(ui::FixedFont());
  txtSN->setMaxLength(32767);
  PlaceTwips(*txtSN, 120, 360, 1575, 285);
  udSN = MakeNamed<ui::SpinControl>(fraSN, QStringLiteral("udSN"));
  udSN->SetRange(0, kWordMax);
  PlaceTwips(*udSN, 1920, 360, 240, 855);
  QLabel* lblGenHigh = MakeLabel(fraSN, QStringLiteral("lblGen"), "High Byte:");
  lblGenHigh->setProperty("index", 6);
  PlaceTwips(*lblGenHigh, 240, 720, 735, 195);
  lblSN_High = MakeLabel(fraSN, QStringLiteral("lblSN_High"), "0x##");
  PlaceTwips(*lblSN_High, 1080, 720, 375, 195);
  QLabel* lblGenLow = MakeLabel(fraSN, QStringLiteral("lblGen"), "Low Byte:");
  lblGenLow->setProperty("index", 7);
  PlaceTwips(*lblGenLow, 270, 960, 705, 195);
  lblSN_Low = MakeLabel(fraSN, QStringLiteral("lblSN_Low"), "0x##");
  PlaceTwips(*lblSN_Low, 1080, 960, 375, 195);

  auto* Frame1 = MakeNamed<QGroupBox>(client_, QStringLiteral("Frame1"), "Machine Model");
  PlaceTwips(*Frame1, 2520, 120, 2295, 1335);
  lstModel = MakeNamed<ui::ListBox>(Frame1, QStringLiteral("lstModel"));
  PlaceTwips(*lstModel, 120, 360, 2055, 840);

  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    const FieldControl& record = kFieldControls[i];
    parameterFrames_[i] = MakeNamed<QGroupBox>(client_, QString::fromUtf8(record.frame),
                                               QString::fromUtf8(record.caption));
    PlaceTwips(*parameterFrames_[i], record.frame_left, record.frame_top, 2295, 855);
    fields_[i] = MakeNamed<ui::LockedCombo>(parameterFrames_[i], QString::fromUtf8(record.control));
    fields_[i]->setFont(ui::FixedFont());
    fields_[i]->SetText(QStringLiteral("Combo1"));
    PlaceTwips(*fields_[i], 240, 360, 1815, 330);
  }

  cmdWrite = MakeNamed<QPushButton>(client_, QStringLiteral("cmdWrite"), "Set");
  PlaceTwips(*cmdWrite, 5040, 240, 1215, 375);
  cmdRead = MakeNamed<QPushButton>(client_, QStringLiteral("cmdRead"), "Read");
  PlaceTwips(*cmdRead, 5040, 720, 1215, 375);
  auto* Line1 = MakeNamed<QFrame>(client_, QStringLiteral("Line1"));
  Line1->setFrameShape(QFrame::HLine);
  Line1->setFrameShadow(QFrame::Plain);
  PlaceTwips(*Line1, 5040, 1200, 6240 - 5040, ui::kTwipsPerPixel);
  CmdClearID = MakeNamed<QPushButton>(client_, QStringLiteral("CmdClearID"), "Clear ID");
  PlaceTwips(*CmdClearID, 5040, 1320, 1215, 375);
  cmdDone = MakeNamed<QPushButton>(client_, QStringLiteral("cmdDone"), "&Done");
  PlaceTwips(*cmdDone, 5040, 3960, 1215, 375);

  shpConnected =
      MakeNamed<ui::Lamp>(client_, QStringLiteral("shpConnected"), ui::Lamp::Shape::kCircle);
  PlaceTwips(*shpConnected, 120, 4440, 195, 195);
  lblStatus = MakeLabel(client_, QStringLiteral("lblStatus"), "Connected");
  PlaceTwips(*lblStatus, 480, 4440, 780, 195);

  tmrStatus = timers_.MakeTimer(*this, QStringLiteral("tmrStatus"), kStatusInterval, false);

  mnuEEProm = menuBar()->addMenu(QStringLiteral("EEProm"));
  mnuEEProm->setObjectName(QStringLiteral("mnuEEProm"));
  mnuEEPromEdit = mnuEEProm->addAction(QStringLiteral("Edit"));
  mnuEEPromEdit->setObjectName(QStringLiteral("mnuEEPromEdit"));

  std::vector<QWidget*> tab_order{txtSN, lstModel};
  tab_order.insert(tab_order.end(), fields_.begin(), fields_.end());
  tab_order.insert(tab_order.end(), {cmdWrite, cmdRead, CmdClearID, cmdDone});
  for (std::size_t i = 1; i < tab_order.size(); ++i) {
    QWidget::setTabOrder(tab_order[i - 1], tab_order[i]);
  }

  // What a Set holds; supervision switches all but the spin control.
  held_ = {{cmdRead, true},  {cmdWrite, true}, {CmdClearID, true},
           {lstModel, true}, {txtSN, true},    {udSN, false}};

  layout()->setSizeConstraint(QLayout::SetFixedSize);

  // Five labels are drawn narrower than their texts in Arial: they keep
  // their places and sizes and condense the face as far as their texts need.
  QStringList bytes;
  for (int value = 0; value <= 0xFF; ++value) {
    bytes << QString::fromStdString(HexByte(static_cast<std::uint8_t>(value)));
  }
  const auto narrow = [this](QLabel* label, const QStringList& texts) {
    label->setFont(ui::NarrowedToFit(font(), texts, label->width()));
  };
  narrow(lblSN_High, bytes);
  narrow(lblSN_Low, bytes);
  narrow(lblGenHigh, {lblGenHigh->text()});
  narrow(lblGenLow, {lblGenLow->text()});
  narrow(lblStatus, {QStringLiteral("Connected"), QStringLiteral("Searching...")});
}

}  // namespace korimo
