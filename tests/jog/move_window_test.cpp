// The jog window as designed, its position readouts, Home and Done.
#include <QApplication>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLocale>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <map>

#include "tests/jog/move_fixture.h"
#include "ui/twips.h"

namespace korimo::test {
namespace {

using ui::TwipsRect;

TEST_F(MoveWindowTest, LayoutAsDesigned) {
  EXPECT_EQ(window_->windowTitle(), "Home");
  const std::map<int, std::pair<QString, QRect>> jogs{
      {11, {"JOGPOSY", TwipsRect(1200, 120, 615, 495)}},
      {21, {"CRLPOSY", TwipsRect(1200, 720, 615, 255)}},
      {23, {"CRLNEGY", TwipsRect(1200, 1680, 615, 255)}},
      {13, {"JOGNEGY", TwipsRect(1200, 2040, 615, 495)}},
      {10, {"JOGNEGX", TwipsRect(120, 1080, 615, 495)}},
      {22, {"CRLNEGX", TwipsRect(840, 1080, 255, 495)}},
      {20, {"CRLPOSX", TwipsRect(1920, 1080, 255, 495)}},
      {12, {"JOGPOSX", TwipsRect(2280, 1080, 615, 495)}},
      {5, {"JOGPOSZ", TwipsRect(3240, 120, 615, 495)}},
      {1, {"CRLPOSZ", TwipsRect(3240, 720, 615, 255)}},
      {30, {"CRLNEGZ", TwipsRect(3240, 1680, 615, 255)}},
      {4, {"JOGNEGZ", TwipsRect(3240, 2040, 615, 495)}},
  };
  const QList<jog::JogButton*> buttons = window_->findChildren<jog::JogButton*>("picMove");
  ASSERT_EQ(buttons.size(), 12);
  for (const jog::JogButton* button : buttons) {
    SCOPED_TRACE(button->Index());
    ASSERT_EQ(jogs.count(button->Index()), 1u);
    EXPECT_EQ(button->Tag(), jogs.at(button->Index()).first);
    EXPECT_EQ(button->property("tag").toString(), button->Tag());
    EXPECT_EQ(button->property("index").toInt(), button->Index());
    EXPECT_EQ(button->geometry(), jogs.at(button->Index()).second);
  }

  auto& home = Find<QPushButton>(*window_, "cmdHomeXY");
  EXPECT_EQ(home.text(), "Home");
  EXPECT_EQ(home.geometry(), TwipsRect(1200, 1080, 615, 495));
  auto& second_home = Find<QPushButton>(*window_, "Command1");
  EXPECT_EQ(second_home.text(), "Home");
  EXPECT_EQ(second_home.geometry(), TwipsRect(3240, 1080, 615, 495));
  // The second Home is not wired to the engraver: a click sends nothing.
  second_home.click();
  EXPECT_TRUE(Files().Log().empty());
  auto& done = Find<QPushButton>(*window_, "cmdDone");
  EXPECT_EQ(done.text(), "&Done");
  EXPECT_EQ(done.geometry(), TwipsRect(6000, 2040, 1335, 495));

  const std::vector<std::pair<const char*, int>> readouts{
      {"lblPositionX", 120}, {"lblPositionY", 600}, {"lblPositionZ", 1080}};
  for (const auto& [name, top] : readouts) {
    SCOPED_TRACE(name);
    QLabel& readout = Readout(name);
    EXPECT_EQ(readout.geometry(), TwipsRect(6000, top, 1335, 375));
    EXPECT_EQ(readout.text(), "##.###");
    EXPECT_EQ(readout.alignment(), Qt::AlignCenter);
    EXPECT_EQ(readout.font().family(), "Arial");
    EXPECT_DOUBLE_EQ(readout.font().pointSizeF(), 14.25);
    // A face that is installed, not empty boxes.
    EXPECT_TRUE(QFontDatabase::families().contains(QFontInfo(readout.font()).family()));
    EXPECT_EQ(readout.palette().color(QPalette::WindowText), QColor(0, 255, 0));
    EXPECT_EQ(readout.palette().color(QPalette::Window), QColor(0, 0, 0));
    EXPECT_TRUE(readout.autoFillBackground());
  }

  auto* timer = window_->findChild<ui::WindowTimer*>("tmrMove");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 10);
  EXPECT_EQ(Find<QStatusBar>(*window_, "status").currentMessage(), "");
  EXPECT_EQ(window_->HeldJogIndex(), 0);
}

// Where the arrow's tip points: of the four ends of the dark drawing, the
// one whose cross section is narrowest against the opposite end.
QPoint TipDirection(const QImage& image) {
  int left = image.width();
  int right = -1;
  int top = image.height();
  int bottom = -1;
  auto dark = [&](int x, int y) { return qGray(image.pixel(x, y)) < 60; };
  for (int y = 3; y < image.height() - 3; ++y) {
    for (int x = 3; x < image.width() - 3; ++x) {
      if (dark(x, y)) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }
  if (right < 0) {
    return {};
  }
  auto column = [&](int x) {
    int count = 0;
    for (int y = top; y <= bottom; ++y)
      count += dark(x, y) ? 1 : 0;
    return count;
  };
  auto row = [&](int y) {
    int count = 0;
    for (int x = left; x <= right; ++x)
      count += dark(x, y) ? 1 : 0;
    return count;
  };
  const int across = column(left) - column(right);  // > 0: narrower at the right
  const int along = row(bottom) - row(top);         // > 0: narrower at the top
  if (std::abs(across) >= std::abs(along)) {
    return {across > 0 ? 1 : -1, 0};
  }
  return {0, along > 0 ? -1 : 1};
}

TEST_F(MoveWindowTest, ArrowsPointTheWayTheirButtonsMove) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  for (jog::JogButton* button : window_->findChildren<jog::JogButton*>("picMove")) {
    SCOPED_TRACE(button->Tag().toStdString());
    const jog::JogButtonDesign& design = button->Design();
    const QPoint expected = design.axis == jog::JogAxis::kX ? QPoint(design.direction, 0)
                                                            : QPoint(0, -design.direction);
    EXPECT_EQ(TipDirection(button->grab().toImage()), expected);
  }
  window_->hide();
}

TEST_F(MoveWindowTest, ReadoutsShowThousandthsOfAnInch) {
  Board().SetPosition(sim::Axis::kX, 12345);
  Board().SetPosition(sim::Axis::kY, 0);
  Board().SetPosition(sim::Axis::kZ, 4250);
  Tick();
  EXPECT_EQ(Readout("lblPositionX").text(), "12.345");
  EXPECT_EQ(Readout("lblPositionY").text(), "00.000");
  EXPECT_EQ(Readout("lblPositionZ").text(), "04.250");
  Board().SetPosition(sim::Axis::kX, 65535);
  Board().SetPosition(sim::Axis::kY, 5);
  Board().SetPosition(sim::Axis::kZ, 40000);  // a word, never negative
  Tick();
  EXPECT_EQ(Readout("lblPositionX").text(), "65.535");
  EXPECT_EQ(Readout("lblPositionY").text(), "00.005");
  EXPECT_EQ(Readout("lblPositionZ").text(), "40.000");
}

TEST_F(MoveWindowTest, ReadoutsUseTheLocalesDecimalSeparator) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  Board().SetPosition(sim::Axis::kX, 12345);
  Tick();
  QLocale::setDefault(before);
  EXPECT_EQ(Readout("lblPositionX").text(), "12,345");
  EXPECT_EQ(PositionText(1000, QLocale(QLocale::English)), "01.000");
}

TEST_F(MoveWindowTest, AnIdleTickReadsFourFreshStatusPackets) {
  Tick();
  EXPECT_EQ(Files().Counts().reads, 4u);
  EXPECT_TRUE(Written().empty());
  Tick();
  EXPECT_EQ(Files().Counts().reads, 8u);
}

// With no engraver the readouts show zeros; one that is there but does not
// answer leaves them as they were.
TEST_F(MoveWindowTest, AbsentEngraverReadsZerosASilentOneKeepsTheReadouts) {
  Board().SetPosition(sim::Axis::kX, 5000);
  Tick();
  const QString x = Readout("lblPositionX").text();
  ASSERT_NE(x, "00.000");
  Files().FailOpens(sim::FaultSpan::ForGood(), sim::OpenKind::kRead);
  Tick();
  EXPECT_EQ(Readout("lblPositionX").text(), x);

  platform_.Unplug();
  kt90_.IsDeviceConnected();
  Tick();
  EXPECT_EQ(Readout("lblPositionX").text(), "00.000");
  EXPECT_EQ(Readout("lblPositionZ").text(), "00.000");
}

// Counts the paint events of a widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    paints += event->type() == QEvent::Paint ? 1 : 0;
    return false;
  }
};

TEST_F(MoveWindowTest, HomeMarksTheReadoutsWhileTheCommandGoesOut) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  Board().SetPosition(sim::Axis::kX, 1500);
  Board().SetPosition(sim::Axis::kZ, 700);
  Tick();
  QCoreApplication::processEvents();
  Files().ClearLog();
  Files().ResetCounts();
  Board().SetStuckBusy(true);  // sent anyway

  QLabel& x = Readout("lblPositionX");
  QLabel& y = Readout("lblPositionY");
  PaintCounter x_paints(x);
  PaintCounter y_paints(y);
  struct Seen {
    QString x_text, y_text;
    QColor x_colour, y_colour;
    int x_paints, y_paints;
  };
  std::vector<Seen> at_send;
  Files().SetOpenHook([&](const std::string&, const OpenParameters& params) {
    if (params == kWriteOpen) {
      at_send.push_back({x.text(), y.text(), x.palette().color(QPalette::WindowText),
                         y.palette().color(QPalette::WindowText), x_paints.paints,
                         y_paints.paints});
    }
  });
  Find<QPushButton>(*window_, "cmdHomeXY").click();
  Files().SetOpenHook(nullptr);

  ASSERT_FALSE(at_send.empty());
  EXPECT_EQ(at_send[0].x_text, "----");
  EXPECT_EQ(at_send[0].y_text, "----");
  EXPECT_EQ(at_send[0].x_colour, QColor(255, 0, 0));
  EXPECT_EQ(at_send[0].y_colour, QColor(255, 0, 0));
  // Painted before the command went out, not at the next event loop turn.
  EXPECT_GE(at_send[0].x_paints, 1);
  EXPECT_GE(at_send[0].y_paints, 1);
  const auto home = HomePacket();
  EXPECT_EQ(Written(), (std::vector<std::vector<std::uint8_t>>{{home.begin(), home.end()}}));
  EXPECT_EQ(Files().Counts().reads, 0u);  // no busy poll before or after
  EXPECT_EQ(Board().Counts().homes, 1u);

  EXPECT_EQ(x.palette().color(QPalette::WindowText), QColor(0, 255, 0));
  EXPECT_EQ(y.palette().color(QPalette::WindowText), QColor(0, 255, 0));
  EXPECT_GT(x_paints.paints, at_send[0].x_paints);  // green at once
  EXPECT_EQ(x.text(), "----");                      // until the next tick
  EXPECT_EQ(Readout("lblPositionZ").text(), "00.700");
  EXPECT_EQ(Readout("lblPositionZ").palette().color(QPalette::WindowText), QColor(0, 255, 0));

  Board().SetStuckBusy(false);
  clock_.Advance(sim::Micros{1'000'000});
  Tick();
  EXPECT_EQ(x.text(), "00.000");  // homed
  window_->hide();
}

TEST_F(MoveWindowTest, DoneHidesAndTheTimerKeepsReading) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  Find<QPushButton>(*window_, "cmdDone").click();
  EXPECT_TRUE(window_->isHidden());
  Board().SetPosition(sim::Axis::kY, 2500);
  EXPECT_EQ(timers_.Fire("tmrMove"), 1);
  EXPECT_EQ(Readout("lblPositionY").text(), "02.500");
}

TEST_F(MoveWindowTest, MovementFilesComeFromTheProgramsFolder) {
  frmMove fresh(kt90_, prompts_, nullptr, timers_);
  EXPECT_EQ(fresh.ProgramFolder(), QCoreApplication::applicationDirPath());
  EXPECT_EQ(window_->MoveFilePath(12), QDir::toNativeSeparators(folder_.filePath("JOGPOSX.mov")));
  EXPECT_EQ(window_->MoveFilePath(1), QDir::toNativeSeparators(folder_.filePath("CRLPOSZ.mov")));
  EXPECT_EQ(window_->MoveFilePath(0), "");
}

}  // namespace
}  // namespace korimo::test
