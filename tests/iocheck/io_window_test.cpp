// The I/O window: layout, the lamps for each input bit, what a refresh reads
// and repaints, the frozen inputs of an absent engraver, and Done.
#include "iocheck/io_window.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <map>
#include <memory>

#include "tests/support/engraver_fixture.h"
#include "ui/lamp.h"
#include "ui/twips.h"

namespace korimo::test {
namespace {

using ui::Lamp;
using ui::TwipsRect;

const QColor kGreen(0, 255, 0);
const QColor kGrey(128, 128, 128);

// Key lamps top to bottom, circular lamps; with the input bit of each.
const std::vector<std::pair<const char*, std::uint8_t>> kKeyLamps{{"shpKeyPower", 0x01},
                                                                  {"shpKeyUp", 0x04},
                                                                  {"shpKeyDown", 0x02},
                                                                  {"shpKeyPause", 0x08},
                                                                  {"shpKeyStart", 0x10}};
const std::vector<std::pair<const char*, std::uint8_t>> kTableLamps{{"shpTable0", 0x20},
                                                                    {"shpTable1", 0x40}};

class IOWindowTest : public EngraverTest {
 protected:
  void SetUp() override {
    window_ = std::make_unique<frmIO>(kt90_, nullptr, timers_);
    window_->SetEndProgram([this] { ++ended_; });
    Files().ClearLog();
    Files().ResetCounts();
  }

  Lamp& LampNamed(const char* name) { return Find<Lamp>(*window_, name); }

  bool KeyLit(const char* name) {
    Lamp& lamp = LampNamed(name);
    const bool lit = lamp.BackColor() == kGreen;
    EXPECT_EQ(lamp.BorderWidth(), lit ? 3 : 1) << name;
    if (!lit) {
      EXPECT_EQ(lamp.BackColor(), lamp.palette().color(QPalette::Button)) << name;
    }
    return lit;
  }

  bool CircleLit(const char* name) {
    const QColor fill = LampNamed(name).FillColor();
    EXPECT_TRUE(fill == kGreen || fill == kGrey) << name;
    return fill == kGreen;
  }

  // Which of the seven input lamps are lit, as a byte of their bits.
  std::uint8_t LitInputs() {
    std::uint8_t lit = 0;
    for (const auto& [name, bit] : kKeyLamps) {
      lit = static_cast<std::uint8_t>(lit | (KeyLit(name) ? bit : 0));
    }
    for (const auto& [name, bit] : kTableLamps) {
      lit = static_cast<std::uint8_t>(lit | (CircleLit(name) ? bit : 0));
    }
    return lit;
  }

  void Refresh() { window_->tmrStatus_Timer(); }

  std::unique_ptr<frmIO> window_;
  int ended_ = 0;
};

TEST_F(IOWindowTest, LayoutAsDesigned) {
  EXPECT_EQ(window_->windowTitle(), "I/O Verification");
  auto& keypad = Find<QGroupBox>(*window_, "fraKeypad");
  EXPECT_EQ(keypad.title(), "Keypad");
  EXPECT_EQ(keypad.geometry(), TwipsRect(120, 120, 1695, 3735));

  const std::vector<std::pair<const char*, const char*>> keys{{"shpKeyPower", "lblKeyPower"},
                                                              {"shpKeyUp", "lblKeyUp"},
                                                              {"shpKeyDown", "lblKeyDown"},
                                                              {"shpKeyPause", "lblKeyPause"},
                                                              {"shpKeyStart", "lblKeyStart"}};
  const std::vector<const char*> captions{"POWER", "UP", "DOWN", "PAUSE", "START"};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(keys[i].first);
    Lamp& lamp = LampNamed(keys[i].first);
    auto& caption = Find<QLabel>(*window_, keys[i].second);
    const QRect place = TwipsRect(240, 600 + 600 * static_cast<int>(i), 1095, 495);
    EXPECT_EQ(lamp.parentWidget(), &keypad);
    EXPECT_EQ(lamp.geometry(), place);
    EXPECT_EQ(lamp.LampShape(), Lamp::Shape::kRoundedRectangle);
    EXPECT_TRUE(lamp.BackOpaque());
    EXPECT_FALSE(lamp.FillSolid());
    EXPECT_FALSE(KeyLit(keys[i].first));
    EXPECT_EQ(caption.text(), captions[i]);
    EXPECT_EQ(caption.geometry(), place);
    EXPECT_EQ(caption.alignment(), Qt::AlignCenter);
  }

  const std::map<int, std::pair<const char*, QRect>> circles{
      {0, {"shpDoor", TwipsRect(2280, 240, 195, 195)}},
      {1, {"shpTable0", TwipsRect(2280, 600, 195, 195)}},
      {2, {"shpTable1", TwipsRect(2280, 960, 195, 195)}},
      {8, {"shpConnected", TwipsRect(120, 4320, 195, 195)}}};
  const std::map<int, QString> texts{{0, "Door"}, {1, "Table.0"}, {2, "Table.1"}, {8, "Connected"}};
  const QList<QLabel*> general = window_->findChildren<QLabel*>("lblGen");
  ASSERT_EQ(general.size(), 4);
  for (const QLabel* label : general) {
    const int index = label->property("index").toInt();
    SCOPED_TRACE(index);
    ASSERT_EQ(circles.count(index), 1u);
    EXPECT_EQ(label->text(), texts.at(index));
    Lamp& lamp = LampNamed(circles.at(index).first);
    EXPECT_EQ(lamp.geometry(), circles.at(index).second);
    EXPECT_EQ(lamp.LampShape(), Lamp::Shape::kCircle);
    EXPECT_EQ(lamp.FillColor(), kGrey);
    // The caption stands to the right of its lamp, on its line.
    EXPECT_GT(label->x(), lamp.geometry().right());
    EXPECT_EQ(label->y(), lamp.y());
  }

  auto& done = Find<QPushButton>(*window_, "cmdDone");
  EXPECT_EQ(done.text(), "&Done");
  EXPECT_EQ(done.geometry(), TwipsRect(6600, 4920, 1215, 495));
  auto* timer = window_->findChild<ui::WindowTimer*>("tmrStatus");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 250);
}

TEST_F(IOWindowTest, EachInputBitLightsItsLamp) {
  struct Case {
    std::uint8_t inputs;
    std::uint8_t lit;
  };
  // 0x02 is DOWN, the middle lamp of the column; bit 7 shows nowhere.
  const std::vector<Case> cases{{0x01, 0x01}, {0x02, 0x02}, {0x04, 0x04}, {0x08, 0x08},
                                {0x10, 0x10}, {0x60, 0x60}, {0x80, 0x00}, {0x00, 0x00},
                                {0xFF, 0x7F}, {0x21, 0x21}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.inputs});
    Board().SetInputs(c.inputs);
    Refresh();
    EXPECT_EQ(LitInputs(), c.lit);
    EXPECT_TRUE(CircleLit("shpConnected"));
    EXPECT_FALSE(CircleLit("shpDoor"));
  }
  Board().SetInputs(0x02);
  Refresh();
  EXPECT_EQ(LampNamed("shpKeyDown").geometry(), TwipsRect(240, 1800, 1095, 495));
  EXPECT_TRUE(KeyLit("shpKeyDown"));
  EXPECT_FALSE(KeyLit("shpKeyUp"));
}

TEST_F(IOWindowTest, ARefreshReadsTwoStatusPacketsAndTheInputsFromTheFirst) {
  // The inputs change between the two reads: the lamps show the first packet.
  Board().SetInputs(0x01);
  int reads = 0;
  Files().SetOpenHook([&](const std::string&, const OpenParameters& params) {
    if (params == kReadOpen && ++reads == 2) {
      Board().SetInputs(0x10);
    }
  });
  Refresh();
  Files().SetOpenHook(nullptr);
  EXPECT_EQ(Files().Counts().reads, 2u);
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(LitInputs(), 0x01);
}

TEST_F(IOWindowTest, KeyLampsRepaintEveryRefreshCircularLampsOnlyOnChange) {
  Refresh();
  std::map<std::string, int> before;
  for (const char* name :
       {"shpKeyPower", "shpKeyStart", "shpTable0", "shpTable1", "shpDoor", "shpConnected"}) {
    before[name] = LampNamed(name).RepaintRequests();
  }
  Refresh();
  Refresh();
  EXPECT_EQ(LampNamed("shpKeyPower").RepaintRequests(), before["shpKeyPower"] + 4);
  EXPECT_EQ(LampNamed("shpKeyStart").RepaintRequests(), before["shpKeyStart"] + 4);
  for (const char* name : {"shpTable0", "shpTable1", "shpDoor", "shpConnected"}) {
    EXPECT_EQ(LampNamed(name).RepaintRequests(), before[name]) << name;
  }
  Board().SetInputs(0x20);
  Refresh();
  Refresh();
  EXPECT_EQ(LampNamed("shpTable0").RepaintRequests(), before["shpTable0"] + 1);
  EXPECT_EQ(LampNamed("shpTable1").RepaintRequests(), before["shpTable1"]);
}

TEST_F(IOWindowTest, InputsFreezeWhileTheEngraverIsAway) {
  Board().SetInputs(0x41);
  Refresh();
  EXPECT_TRUE(CircleLit("shpConnected"));
  const int power_repaints = LampNamed("shpKeyPower").RepaintRequests();

  platform_.Unplug();
  Board().SetInputs(0x10);
  Files().ResetCounts();
  Refresh();
  Refresh();
  EXPECT_FALSE(CircleLit("shpConnected"));
  EXPECT_EQ(LitInputs(), 0x41);
  EXPECT_EQ(LampNamed("shpKeyPower").RepaintRequests(), power_repaints);
  EXPECT_EQ(Files().Counts().reads, 0u);
  EXPECT_EQ(Files().Counts().failed_opens, 0u);

  platform_.Plug();
  Refresh();
  EXPECT_TRUE(CircleLit("shpConnected"));
  EXPECT_EQ(LitInputs(), 0x10);
}

TEST_F(IOWindowTest, APresentEngraverThatDoesNotAnswerKeepsTheLamps) {
  Board().SetInputs(0x45);
  Refresh();
  Board().SetInputs(0x7F);
  Files().FailOpens(sim::FaultSpan::ForGood(), sim::OpenKind::kRead);
  Refresh();
  EXPECT_TRUE(CircleLit("shpConnected"));
  EXPECT_EQ(LitInputs(), 0x45) << "not blinking to dark";
}

TEST_F(IOWindowTest, DoneEndsTheProgram) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  QTest::mouseClick(&Find<QPushButton>(*window_, "cmdDone"), Qt::LeftButton);
  EXPECT_EQ(ended_, 1);
  QTest::keyClick(window_.get(), Qt::Key_D, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ended_ == 2; }));
  window_->hide();
}

// With the real hook, Done leaves no window standing: the process ends there,
// whatever else is open.
TEST_F(IOWindowTest, DoneEndsTheProcessWithOtherWindowsOpen) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        QWidget other;
        other.show();
        frmIO window(kt90_, nullptr, timers_);
        window.show();
        window.cmdDone_Click();
        std::fputs("still running\n", stderr);
      },
      ::testing::ExitedWithCode(0), "^$");
}

}  // namespace
}  // namespace korimo::test
