// The controls of the jog window and where they stand, in twips.
#include <QFont>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStatusBar>

#include "jog/jog_button.h"
#include "jog/move_window.h"
#include "ui/fixed_window.h"
#include "ui/fonts.h"
#include "ui/twips.h"

namespace korimo {
namespace {

using ui::PlaceTwips;

// The client area above the status bar: the readouts end at 7335, Done at 2535.
constexpr int kClientWidth = 7455;  // twips
constexpr int kClientHeight = 2655;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}

QLabel* MakeReadout(QWidget* parent, const char* name) {
  auto* label = new QLabel(QString::fromLatin1(kReadoutDesignText.data(),
                                               static_cast<qsizetype>(kReadoutDesignText.size())),
                           parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignCenter);
  label->setFont(ui::DesignFont(QStringLiteral("Arial"), 14.25));
  label->setAutoFillBackground(true);
  QPalette colours = label->palette();
  colours.setColor(QPalette::Window, Qt::black);
  colours.setColor(QPalette::WindowText, QColor(0, 255, 0));
  label->setPalette(colours);
  return label;
}

}  // namespace

void frmMove::BuildControls() {
  ui::SetUpFixedWindow(*this, QStringLiteral("frmMove"), QStringLiteral("Home"));

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  setCentralWidget(client_);

  for (std::size_t i = 0; i < jog::kJogButtons.size(); ++i) {
    picMove[i] = new jog::JogButton(jog::kJogButtons[i], client_);
  }
  cmdHomeXY = MakeButton(client_, "cmdHomeXY", "Home");
  Command1 = MakeButton(client_, "Command1", "Home");
  lblPositionX = MakeReadout(client_, "lblPositionX");
  lblPositionY = MakeReadout(client_, "lblPositionY");
  lblPositionZ = MakeReadout(client_, "lblPositionZ");
  cmdDone = MakeButton(client_, "cmdDone", "&Done");

  status = new QStatusBar(this);
  status->setObjectName(QStringLiteral("status"));
  setStatusBar(status);

  tmrMove = timers_.MakeTimer(*this, QStringLiteral("tmrMove"), kMoveInterval, true);
  walkTicks_ = timers_.MakeTimer(*this, QStringLiteral("walkTicks"), kMoveInterval, true);

  PlaceControls();
}

void frmMove::PlaceControls() {
  client_->setFixedSize(ui::Px(kClientWidth), ui::Px(kClientHeight));
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  for (jog::JogButton* button : picMove) {
    const jog::JogButtonDesign& design = button->Design();
    PlaceTwips(*button, design.left, design.top, design.width, design.height);
  }
  PlaceTwips(*cmdHomeXY, 1200, 1080, 615, 495);
  PlaceTwips(*Command1, 3240, 1080, 615, 495);
  PlaceTwips(*lblPositionX, 6000, 120, 1335, 375);
  PlaceTwips(*lblPositionY, 6000, 600, 1335, 375);
  PlaceTwips(*lblPositionZ, 6000, 1080, 1335, 375);
  PlaceTwips(*cmdDone, 6000, 2040, 1335, 495);
}

}  // namespace korimo
