// The controls of the I/O window and where they stand, in twips.
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "iocheck/io_window.h"
#include "ui/fixed_window.h"
#include "ui/lamp.h"
#include "ui/twips.h"

namespace korimo {
namespace {

using ui::Lamp;
using ui::MakeLabel;
using ui::MakeNamed;
using ui::PlaceTwips;

// Done ends at 7815 by 5415.
constexpr int kClientWidth = 7935;  // twips
constexpr int kClientHeight = 5535;
constexpr int kLampSide = 195;
// A circular lamp's caption stands to its right.
constexpr int kCaptionOffset = 360;
constexpr int kCaptionWidth = 1095;

// The keys' lamps (shpKey...) and captions (lblKey...), top to bottom in the frame.
constexpr std::array<const char*, inputs::kKeyCount> kKeyNames{"Power", "Up", "Down", "Pause",
                                                               "Start"};

// The circular lamps and their captions lblGen(index).
struct CircleLamp {
  const char* name;
  int caption_index;
  std::string_view caption;
  int left;
  int top;
};
constexpr std::array<CircleLamp, 4> kCircleLamps{{
    {"shpDoor", 0, "Door", 2280, 240},
    {"shpTable0", 1, inputs::kNamed[inputs::kKeyCount].name, 2280, 600},
    {"shpTable1", 2, inputs::kNamed[inputs::kKeyCount + 1].name, 2280, 960},
    {"shpConnected", 8, "Connected", 120, 4320},
}};

}  // namespace

void frmIO::BuildControls() {
  ui::SetUpFixedWindow(*this, QStringLiteral("frmIO"), QStringLiteral("I/O Verification"));
  setFixedSize(ui::Px(kClientWidth), ui::Px(kClientHeight));

  auto* fraKeypad = MakeNamed<QGroupBox>(this, QStringLiteral("fraKeypad"), "Keypad");
  PlaceTwips(*fraKeypad, 120, 120, 1695, 3735);
  for (std::size_t i = 0; i < inputs::kKeyCount; ++i) {
    const QString name = QString::fromLatin1(kKeyNames[i]);
    const int top = 600 + 600 * static_cast<int>(i);
    // A key lamp shows its opaque background, dark until the first refresh.
    Lamp* lamp = MakeNamed<Lamp>(fraKeypad, "shpKey" + name, Lamp::Shape::kRoundedRectangle);
    lamp->SetFillSolid(false);
    lamp->SetBackOpaque(true);
    PlaceTwips(*lamp, 240, top, 1095, 495);
    inputLamps_[i] = lamp;
    // Its caption stands above it, centred on it and letting the mouse through.
    QLabel* caption = MakeLabel(fraKeypad, "lblKey" + name, inputs::kNamed[i].name);
    caption->setAlignment(Qt::AlignCenter);
    caption->setAttribute(Qt::WA_TransparentForMouseEvents);
    PlaceTwips(*caption, 240, top, 1095, 495);
  }

  std::array<Lamp*, kCircleLamps.size()> circles{};
  for (std::size_t i = 0; i < circles.size(); ++i) {
    const CircleLamp& design = kCircleLamps[i];
    circles[i] = MakeNamed<Lamp>(this, design.name, Lamp::Shape::kCircle);
    PlaceTwips(*circles[i], design.left, design.top, kLampSide, kLampSide);
  }
  for (const CircleLamp& design : kCircleLamps) {
    QLabel* caption = MakeLabel(this, QStringLiteral("lblGen"), design.caption);
    caption->setProperty("index", design.caption_index);
    PlaceTwips(*caption, design.left + kCaptionOffset, design.top, kCaptionWidth, kLampSide);
  }
  inputLamps_[inputs::kKeyCount] = circles[1];
  inputLamps_[inputs::kKeyCount + 1] = circles[2];
  shpConnected = circles[3];

  cmdDone = MakeNamed<QPushButton>(this, QStringLiteral("cmdDone"), "&Done");
  PlaceTwips(*cmdDone, 6600, 4920, 1215, 495);

  tmrStatus = timers_.MakeTimer(*this, QStringLiteral("tmrStatus"), kStatusInterval, false);
}

}  // namespace korimo
