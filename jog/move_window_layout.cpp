// The controls of the jog window and where they stand, in twips.
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

QLabel* MakeReadout(QWidget* parent, const QString& name) {
  QLabel* label = ui::MakeLabel(parent, name, kReadoutDesignText);
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

  auto* client = ui::MakeNamed<QWidget>(this, QStringLiteral("client"));
  setCentralWidget(client);
  client->setFixedSize(ui::Px(kClientWidth), ui::Px(kClientHeight));

  for (std::size_t i = 0; i < jog::kJogButtons.size(); ++i) {
    const jog::JogButtonDesign& design = jog::kJogButtons[i];
    picMove[i] = new jog::JogButton(design, client);
    PlaceTwips(*picMove[i], design.left, design.top, design.width, design.height);
  }
  cmdHomeXY = ui::MakeNamed<QPushButton>(client, QStringLiteral("cmdHomeXY"), "Home");
  PlaceTwips(*cmdHomeXY, 1200, 1080, 615, 495);
  auto* Command1 = ui::MakeNamed<QPushButton>(client, QStringLiteral("Command1"), "Home");
  PlaceTwips(*Command1, 3240, 1080, 615, 495);
  lblPositionX = MakeReadout(client, QStringLiteral("lblPositionX"));
  PlaceTwips(*lblPositionX, 6000, 120, 1335, 375);
  lblPositionY = MakeReadout(client, QStringLiteral("lblPositionY"));
  PlaceTwips(*lblPositionY, 6000, 600, 1335, 375);
  lblPositionZ = MakeReadout(client, QStringLiteral("lblPositionZ"));
  PlaceTwips(*lblPositionZ, 6000, 1080, 1335, 375);
  cmdDone = ui::MakeNamed<QPushButton>(client, QStringLiteral("cmdDone"), "&Done");
  PlaceTwips(*cmdDone, 6000, 2040, 1335, 495);

  setStatusBar(ui::MakeNamed<QStatusBar>(this, QStringLiteral("status")));
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  tmrMove = timers_.MakeTimer(*this, QStringLiteral("tmrMove"), kMoveInterval, true);
  walkTicks_ = timers_.MakeTimer(*this, QStringLiteral("walkTicks"), kMoveInterval, true);
}

}  // namespace korimo
