// The controls of the configuration window and where they stand, in twips.
#include <QAction>
#include <QFont>
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

using ui::PlaceTwips;

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kClientWidth = 6525;   // twips
constexpr int kClientHeight = 4635;  // down to the bottom of the status row

template <typename Widget, typename... Args>
Widget* Make(QWidget* parent, const char* name, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)..., parent);
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const char* caption) {
  return Make<QGroupBox>(parent, name, QString::fromLatin1(caption));
}

template <typename Widget>
Widget* Make(QWidget* parent, std::string_view name) {
  auto* widget = new Widget(parent);
  widget->setObjectName(Q(name));
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption) {
  auto* label = Make<QLabel>(parent, name, QString::fromLatin1(caption));
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

void s::BuildControls() {
  ui::SetUpFixedWindow(*this, QStringLiteral("s"), Q(kApplicationTitle));

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  setCentralWidget(client_);

  fraSN = MakeFrame(client_, "fraSN", "Serial Number");
  txtSN = Make<ui::TextBox>(fraSN, "txtSN");
  txtSN->setText(QStringLiteral("-----"));
  txtSN->setToolTip(QStringLiteral("Enter PCB Serial Number"));
  txtSN->setFont(ui::FixedFont());
  txtSN->setMaxLength(32767);
  udSN = Make<ui::SpinControl>(fraSN, "udSN");
  udSN->SetRange(0, kWordMax);
  lblGenHigh = MakeLabel(fraSN, "lblGen", "High Byte:");
  lblGenHigh->setProperty("index", 6);
  lblSN_High = MakeLabel(fraSN, "lblSN_High", "0x##");
  lblGenLow = MakeLabel(fraSN, "lblGen", "Low Byte:");
  lblGenLow->setProperty("index", 7);
  lblSN_Low = MakeLabel(fraSN, "lblSN_Low", "0x##");

  Frame1 = MakeFrame(client_, "Frame1", "Machine Model");
  lstModel = Make<ui::ListBox>(Frame1, "lstModel");

  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    const FieldControl& record = kFieldControls[i];
    parameterFrames_[i] = Make<QGroupBox>(client_, record.frame);
    parameterFrames_[i]->setTitle(Q(record.caption));
    fields_[i] = Make<ui::LockedCombo>(parameterFrames_[i], record.control);
    fields_[i]->setFont(ui::FixedFont());
    fields_[i]->SetText(QStringLiteral("Combo1"));
  }

  cmdWrite = Make<QPushButton>(client_, "cmdWrite", QStringLiteral("Set"));
  cmdRead = Make<QPushButton>(client_, "cmdRead", QStringLiteral("Read"));
  Line1 = Make<QFrame>(client_, "Line1");
  Line1->setFrameShape(QFrame::HLine);
  Line1->setFrameShadow(QFrame::Plain);
  CmdClearID = Make<QPushButton>(client_, "CmdClearID", QStringLiteral("Clear ID"));
  cmdDone = Make<QPushButton>(client_, "cmdDone", QStringLiteral("&Done"));

  shpConnected = Make<ui::Lamp>(client_, "shpConnected", ui::Lamp::Shape::kCircle);
  lblStatus = MakeLabel(client_, "lblStatus", "Connected");

  tmrStatus = timers_.MakeTimer(*this, QStringLiteral("tmrStatus"), kStatusInterval, false);

  mnuEEProm = menuBar()->addMenu(QStringLiteral("EEProm"));
  mnuEEProm->setObjectName(QStringLiteral("mnuEEProm"));
  mnuEEPromEdit = mnuEEProm->addAction(QStringLiteral("Edit"));
  mnuEEPromEdit->setObjectName(QStringLiteral("mnuEEPromEdit"));

  QWidget::setTabOrder(txtSN, lstModel);
  QWidget* previous = lstModel;
  for (ui::LockedCombo* field : fields_) {
    QWidget::setTabOrder(previous, field);
    previous = field;
  }
  for (QWidget* next : {static_cast<QWidget*>(cmdWrite), static_cast<QWidget*>(cmdRead),
                        static_cast<QWidget*>(CmdClearID), static_cast<QWidget*>(cmdDone)}) {
    QWidget::setTabOrder(previous, next);
    previous = next;
  }

  // What a Set holds; supervision switches all but the spin control.
  held_ = {{cmdRead, true},  {cmdWrite, true}, {CmdClearID, true},
           {lstModel, true}, {txtSN, true},    {udSN, false}};

  PlaceControls();
}

void s::PlaceControls() {
  client_->setFixedSize(ui::Px(kClientWidth), ui::Px(kClientHeight));
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  PlaceTwips(*fraSN, 120, 120, 2295, 1335);
  PlaceTwips(*txtSN, 120, 360, 1575, 285);
  PlaceTwips(*udSN, 1920, 360, 240, 855);
  PlaceTwips(*lblGenHigh, 240, 720, 735, 195);
  PlaceTwips(*lblSN_High, 1080, 720, 375, 195);
  PlaceTwips(*lblGenLow, 270, 960, 705, 195);
  PlaceTwips(*lblSN_Low, 1080, 960, 375, 195);

  PlaceTwips(*Frame1, 2520, 120, 2295, 1335);
  PlaceTwips(*lstModel, 120, 360, 2055, 840);

  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    PlaceTwips(*parameterFrames_[i], kFieldControls[i].frame_left, kFieldControls[i].frame_top,
               2295, 855);
    PlaceTwips(*fields_[i], 240, 360, 1815, 330);
  }

  PlaceTwips(*cmdWrite, 5040, 240, 1215, 375);
  PlaceTwips(*cmdRead, 5040, 720, 1215, 375);
  PlaceTwips(*Line1, 5040, 1200, 6240 - 5040, ui::kTwipsPerPixel);
  PlaceTwips(*CmdClearID, 5040, 1320, 1215, 375);
  PlaceTwips(*cmdDone, 5040, 3960, 1215, 375);
  PlaceTwips(*shpConnected, 120, 4440, 195, 195);
  PlaceTwips(*lblStatus, 480, 4440, 780, 195);

  // Five labels are drawn narrower than their texts in Arial: they keep
  // their places and sizes and condense the face as far as their texts need.
  QStringList bytes;
  for (int value = 0; value <= 0xFF; ++value) {
    bytes << QString::fromStdString(HexByte(static_cast<std::uint8_t>(value)));
  }
  lblSN_High->setFont(ui::NarrowedToFit(font(), bytes, lblSN_High->width()));
  lblSN_Low->setFont(ui::NarrowedToFit(font(), bytes, lblSN_Low->width()));
  lblGenHigh->setFont(ui::NarrowedToFit(font(), {lblGenHigh->text()}, lblGenHigh->width()));
  lblGenLow->setFont(ui::NarrowedToFit(font(), {lblGenLow->text()}, lblGenLow->width()));
  lblStatus->setFont(ui::NarrowedToFit(
      font(), {QStringLiteral("Connected"), QStringLiteral("Searching...")}, lblStatus->width()));
}

}  // namespace korimo
