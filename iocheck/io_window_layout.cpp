// The controls of the I/O window and where they stand, in twips.
#include <QFont>
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
using ui::PlaceTwips;

// Done ends at 7815 by 5415.
constexpr int kClientWidth = 7935;  // twips
constexpr int kClientHeight = 5535;
constexpr int kLampSide = 195;
// A circular lamp's caption stands to its right.
constexpr int kCaptionOffset = 360;
constexpr int kCaptionWidth = 1095;

QLabel* MakeLabel(QWidget* parent, const char* name, std::string_view caption) {
  auto* label = new QLabel(
      QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  return label;
}

Lamp* MakeLamp(QWidget* parent, const char* name, Lamp::Shape shape) {
  auto* lamp = new Lamp(shape, parent);
  lamp->setObjectName(QString::fromLatin1(name));
  return lamp;
}

// A key lamp shows its opaque background, dark until the first refresh.
Lamp* MakeKeyLamp(QWidget* frame, const char* name) {
  Lamp* lamp = MakeLamp(frame, name, Lamp::Shape::kRoundedRectangle);
  lamp->SetFillSolid(false);
  lamp->SetBackOpaque(true);
  return lamp;
}

// The caption of a key lamp, centred on it and letting the mouse through.
QLabel* MakeKeyCaption(QWidget* frame, const char* name, std::string_view caption) {
  QLabel* label = MakeLabel(frame, name, caption);
  label->setAlignment(Qt::AlignCenter);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  return label;
}

}  // namespace

void frmIO::BuildControls() {
  ui::SetUpFixedWindow(*this, QStringLiteral("frmIO"), QStringLiteral("I/O Verification"));

  fraKeypad = new QGroupBox(QStringLiteral("Keypad"), this);
  fraKeypad->setObjectName(QStringLiteral("fraKeypad"));
  // Top to bottom as they stand in the frame; each caption above its lamp.
  shpKeyPower = MakeKeyLamp(fraKeypad, "shpKeyPower");
  lblKeyPower = MakeKeyCaption(fraKeypad, "lblKeyPower", inputs::kNamed[0].name);
  shpKeyUp = MakeKeyLamp(fraKeypad, "shpKeyUp");
  lblKeyUp = MakeKeyCaption(fraKeypad, "lblKeyUp", inputs::kNamed[1].name);
  shpKeyDown = MakeKeyLamp(fraKeypad, "shpKeyDown");
  lblKeyDown = MakeKeyCaption(fraKeypad, "lblKeyDown", inputs::kNamed[2].name);
  shpKeyPause = MakeKeyLamp(fraKeypad, "shpKeyPause");
  lblKeyPause = MakeKeyCaption(fraKeypad, "lblKeyPause", inputs::kNamed[3].name);
  shpKeyStart = MakeKeyLamp(fraKeypad, "shpKeyStart");
  lblKeyStart = MakeKeyCaption(fraKeypad, "lblKeyStart", inputs::kNamed[4].name);

  shpDoor = MakeLamp(this, "shpDoor", Lamp::Shape::kCircle);
  shpTable0 = MakeLamp(this, "shpTable0", Lamp::Shape::kCircle);
  shpTable1 = MakeLamp(this, "shpTable1", Lamp::Shape::kCircle);
  shpConnected = MakeLamp(this, "shpConnected", Lamp::Shape::kCircle);
  const std::array<std::pair<int, std::string_view>, 4> captions{
      {{0, "Door"}, {1, inputs::kNamed[5].name}, {2, inputs::kNamed[6].name}, {8, "Connected"}}};
  for (std::size_t i = 0; i < captions.size(); ++i) {
    lblGen[i] = MakeLabel(this, "lblGen", captions[i].second);
    lblGen[i]->setProperty("index", captions[i].first);
  }

  cmdDone = new QPushButton(QStringLiteral("&Done"), this);
  cmdDone->setObjectName(QStringLiteral("cmdDone"));

  tmrStatus = timers_.MakeTimer(*this, QStringLiteral("tmrStatus"), kStatusInterval, false);

  PlaceControls();
}

void frmIO::PlaceControls() {
  setFixedSize(ui::Px(kClientWidth), ui::Px(kClientHeight));
  PlaceTwips(*fraKeypad, 120, 120, 1695, 3735);
  const std::array<std::pair<Lamp*, QLabel*>, 5> keys{{{shpKeyPower, lblKeyPower},
                                                       {shpKeyUp, lblKeyUp},
                                                       {shpKeyDown, lblKeyDown},
                                                       {shpKeyPause, lblKeyPause},
                                                       {shpKeyStart, lblKeyStart}}};
  int top = 600;
  for (const auto& [lamp, caption] : keys) {
    PlaceTwips(*lamp, 240, top, 1095, 495);
    PlaceTwips(*caption, 240, top, 1095, 495);
    top += 600;
  }

  const std::array<std::pair<Lamp*, int>, 4> circles{
      {{shpDoor, 2280}, {shpTable0, 2280}, {shpTable1, 2280}, {shpConnected, 120}}};
  const std::array<int, 4> tops{240, 600, 960, 4320};
  for (std::size_t i = 0; i < circles.size(); ++i) {
    const int left = circles[i].second;
    PlaceTwips(*circles[i].first, left, tops[i], kLampSide, kLampSide);
    PlaceTwips(*lblGen[i], left + kCaptionOffset, tops[i], kCaptionWidth, kLampSide);
  }
  PlaceTwips(*cmdDone, 6600, 4920, 1215, 495);
}

}  // namespace korimo
