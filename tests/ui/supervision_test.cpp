// Connection supervision: the lamp, the working and searching states, the
// automatic Read on arrival, and how a Set and the status ticks meet.
#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QTest>

#include "config/memory_map.h"
#include "device/registry_finder.h"
#include "tests/support/when_modal.h"
#include "tests/ui/window_fixture.h"
#include "ui/qt_event_pump.h"
#include "ui/qt_prompts.h"

namespace korimo::test {
namespace {

// The controls that supervision switches, besides the three buttons.
const std::vector<const char*> kSwitchedWidgets{
    "txtSN",  "fraSN",  "Frame1",     "Frame2",    "Frame3",    "Frame4",  "Frame5",
    "Frame6", "Frame7", "lblSN_High", "lblSN_Low", "lblStatus", "lstModel"};

class SupervisionTest : public WindowTest {
 protected:
  using WindowTest::WindowTest;

  bool OwnEnabled(const char* name) {
    return !Get<QWidget>(name).testAttribute(Qt::WA_ForceDisabled);
  }
  bool MenusEnabled() {
    auto* menu = window_->findChild<QMenu*>("mnuEEProm");
    auto* edit = window_->findChild<QAction*>("mnuEEPromEdit");
    return menu->isEnabled() && edit->isEnabled();
  }
  void ExpectWorking() {
    EXPECT_EQ(Label("lblStatus").text(), "Connected");
    for (const char* name : {"cmdRead", "cmdWrite", "CmdClearID"}) {
      EXPECT_TRUE(Button(name).isEnabled()) << name;
    }
    for (const char* name : kSwitchedWidgets) {
      EXPECT_TRUE(OwnEnabled(name)) << name;
    }
    for (const QLabel* label : window_->findChildren<QLabel*>("lblGen")) {
      EXPECT_TRUE(label->isEnabledTo(label->parentWidget()));
    }
    EXPECT_TRUE(MenusEnabled());
  }
  void ExpectSearching() {
    EXPECT_EQ(Label("lblStatus").text(), "Searching...");
    for (const char* name : {"cmdRead", "cmdWrite", "CmdClearID"}) {
      EXPECT_FALSE(Button(name).isEnabled()) << name;
    }
    for (const char* name : kSwitchedWidgets) {
      EXPECT_FALSE(OwnEnabled(name)) << name;
    }
    for (const QLabel* label : window_->findChildren<QLabel*>("lblGen")) {
      EXPECT_FALSE(label->isEnabledTo(label->parentWidget()));
    }
    EXPECT_FALSE(MenusEnabled());
    EXPECT_EQ(SerialField().text(), "");
  }
  // Never switched: the fields keep their own state, Done stays, and so do
  // the spin control and the lamp.
  void ExpectUntouched() {
    for (const char* name : kFieldNames) {
      EXPECT_TRUE(Get<QWidget>(name).testAttribute(Qt::WA_ForceDisabled)) << name;  // preset
    }
    EXPECT_TRUE(OwnEnabled("cmdDone"));
    EXPECT_TRUE(OwnEnabled("udSN"));
    EXPECT_TRUE(OwnEnabled("shpConnected"));
    EXPECT_TRUE(Button("CmdClearID").isHidden());
  }
};

TEST_F(SupervisionTest, PresentFromStartTurnsTheLampGreenOnly) {
  Tick();
  EXPECT_EQ(ConnectedLamp().FillColor(), ui::kLampOn);
  ExpectWorking();
  ExpectUntouched();
  EXPECT_EQ(SerialField().text(), "-----");  // no automatic Read
  EXPECT_EQ(platform_.GetFiles().Counts().reads, 0u);
  EXPECT_EQ(Combo("cboMaxZ").Text(), "4250");
}

TEST_F(SupervisionTest, UnchangedPresenceRepaintsAndSwitchesNothing) {
  Tick();
  const int repaints = ConnectedLamp().RepaintRequests();
  Tick();
  Tick();
  EXPECT_EQ(ConnectedLamp().RepaintRequests(), repaints);
  EXPECT_EQ(repaints, 1);
  ExpectWorking();
}

TEST_F(SupervisionTest, RemovalAndArrival) {
  Tick();
  SerialField().setText("04660");
  ModelList().setCurrentRow(1);
  platform_.Unplug();
  Tick();
  EXPECT_EQ(ConnectedLamp().FillColor(), ui::kLampOff);
  ExpectSearching();
  ExpectUntouched();
  // The combo boxes keep their texts; the byte labels their captions.
  EXPECT_EQ(Combo("cboMaxX").Text(), "24000");
  EXPECT_EQ(Label("lblSN_High").text(), "0x##");
  Tick();  // still absent: nothing more
  EXPECT_EQ(ConnectedLamp().RepaintRequests(), 2);

  platform_.Plug();
  platform_.GetFiles().ResetCounts();
  Tick();
  EXPECT_EQ(ConnectedLamp().FillColor(), ui::kLampOn);
  ExpectWorking();
  // The automatic Read: the factory board is a KX2 with serial number 4660.
  EXPECT_EQ(platform_.GetFiles().Counts().reads, 8u);
  EXPECT_EQ(SerialField().text(), "04660");
  EXPECT_EQ(Label("lblSN_Low").text(), "0x34");
  EXPECT_EQ(ModelList().currentRow(), 0);
  EXPECT_EQ(Combo("cboMaxX").Text(), "16000");
}

class AbsentAtStartTest : public SupervisionTest {
 protected:
  AbsentAtStartTest() : SupervisionTest() { platform_.Unplug(); }
};

TEST_F(AbsentAtStartTest, FirstTickSearchesAndArrivalReads) {
  Tick();
  EXPECT_EQ(ConnectedLamp().FillColor(), ui::kLampOff);
  EXPECT_EQ(ConnectedLamp().RepaintRequests(), 0);
  ExpectSearching();
  ExpectUntouched();
  EXPECT_EQ(FieldTexts(),
            (std::vector<QString>{"16000", "12000", "4250", "50000", "10000", "8000"}));
  // Leaving the emptied field later puts the spin value back.
  window_->CommitSerialNumber();
  EXPECT_EQ(SerialField().text(), "00000");

  platform_.Plug();
  Tick();
  ExpectWorking();
  EXPECT_EQ(SerialField().text(), "04660");
}

// One message box at a time: an arrival while a box is up waits with its
// Read (which could end in a box of its own) until the box has closed.
TEST_F(AbsentAtStartTest, ArrivalWhileABoxIsUpReadsOnceItCloses) {
  Tick();
  platform_.Plug();
  const WhenModal answer([&](QWidget& box) {
    Tick();
    EXPECT_EQ(SerialField().text(), "");
    box.close();
  });
  ui::QtPrompts().ShowMessage("up", "", MessageButtons::kOk, MessageAnswer::kOk);
  Tick();
  EXPECT_EQ(SerialField().text(), "04660");
}

// A Set holds Read, Set and Clear ID disabled; an arrival during the Set
// defers its Read to the end of the Set, and the end restores what
// supervision asks for.
class SetMeetsSupervisionTest : public SupervisionTest {
 protected:
  void SetUp() override {
    SupervisionTest::SetUp();
    Tick();
    window_->cmdRead_Click();
    EraseBoard(0x00);
    platform_.GetFiles().ClearLog();
  }
};

TEST_F(SetMeetsSupervisionTest, UnplugDuringTheSet) {
  pump_.action = [&](int yield) {
    if (yield == 20) {
      platform_.Unplug();
      Tick();
    }
    if (yield > 20) {
      EXPECT_EQ(SerialField().text(), "");
      EXPECT_FALSE(Button("cmdRead").isEnabled());
    }
  };
  window_->cmdWrite_Click();
  EXPECT_EQ(pump_.turns, 79);
  // The writes after the unplugging are dropped without notice.
  EXPECT_EQ(MemoryWrites().size(), 20u);
  EXPECT_EQ(Board().Cell(32), 0xCD);  // write 16
  EXPECT_EQ(Board().Cell(36), 0x00);  // write 20, dropped
  ExpectSearching();
  EXPECT_EQ(Combo("cboZSpeed").Text(), "08000");  // rewritten before the unplug
}

TEST_F(SetMeetsSupervisionTest, ArrivalDuringTheSetReadsAfterIt) {
  int reads_during_set = -1;
  pump_.action = [&](int yield) {
    if (yield == 10) {
      platform_.Unplug();
      Tick();
    }
    if (yield == 12) {
      platform_.Plug();
      platform_.GetFiles().ResetCounts();
      Tick();
      EXPECT_EQ(Label("lblStatus").text(), "Connected");
      // The frames come back; what the Set reads stays held until it ends.
      EXPECT_TRUE(OwnEnabled("fraSN"));
      EXPECT_FALSE(OwnEnabled("txtSN"));
      EXPECT_FALSE(OwnEnabled("lstModel"));
    }
    if (yield > 12) {
      // No Read inside the Set, and the buttons stay held.
      EXPECT_EQ(SerialField().text(), "");
      EXPECT_FALSE(Button("cmdRead").isEnabled());
      EXPECT_FALSE(Button("cmdWrite").isEnabled());
    }
    if (yield == 78) {
      reads_during_set = static_cast<int>(platform_.GetFiles().Counts().reads);
    }
  };
  Board().SetCell(5, 0x00);
  window_->cmdWrite_Click();
  // One busy poll per remaining write, then the deferred Read's eight reads.
  EXPECT_EQ(reads_during_set, 78 - 12);
  EXPECT_EQ(platform_.GetFiles().Counts().reads, 79u - 12u + 8u);
  ExpectWorking();
  // The Read after the Set shows what the board holds now; its serial number
  // cells were written before the unplugging.
  EXPECT_EQ(SerialField().text(), "04660");
  EXPECT_EQ(MemoryWrites().size(), 79u - 2u);
}

TEST_F(SetMeetsSupervisionTest, RemovalAfterAnArrivalCancelsTheDeferredRead) {
  pump_.action = [&](int yield) {
    if (yield == 5 || yield == 15) {
      platform_.Unplug();
      Tick();
    }
    if (yield == 10) {
      platform_.Plug();
      Tick();
    }
  };
  window_->cmdWrite_Click();
  ExpectSearching();
  platform_.Plug();
  Tick();
  ExpectWorking();
}

TEST_F(SetMeetsSupervisionTest, TickWithUnchangedPresenceDuringTheSet) {
  pump_.action = [&](int) { Tick(); };
  window_->cmdWrite_Click();
  EXPECT_EQ(MemoryWrites().size(), 79u);
  ExpectWorking();
  EXPECT_EQ(ConnectedLamp().RepaintRequests(), 1);
}

// The real event pump: a status tick that comes due while a Set runs is
// delivered by the event loop inside one of the Set's waits.
class LiveSetTest : public SupervisionTest {
 protected:
  LiveSetTest() : SupervisionTest(BusyBoard()) {}
  static sim::PlatformOptions BusyBoard() {
    sim::PlatformOptions options = InstantBoard();
    options.timings.memory_write = sim::Micros{8000};
    return options;
  }

  // Each yield lets a millisecond of the board's time pass, then runs the Qt
  // event loop once; at the chosen yield the status timer's tick is posted to it.
  class ClockedQtPump final : public EventPump {
   public:
    ClockedQtPump(sim::ManualClock& clock, std::function<void()> tick)
        : clock_(clock), tick_(std::move(tick)) {}
    void TickAfter(int yields) { due_ = calls_ + yields; }
    void DoEvents() override {
      clock_.Advance(sim::Micros{1000});
      if (calls_++ == due_) {
        QMetaObject::invokeMethod(qApp, tick_, Qt::QueuedConnection);
      }
      qt_.DoEvents();
    }

   private:
    sim::ManualClock& clock_;
    std::function<void()> tick_;
    ui::QtEventPump qt_;
    int calls_ = 0;
    int due_ = -1;
  };

  void SetUp() override {
    live_kt90_ = std::make_unique<modKT90>(finder_, platform_.GetFiles(), live_pump_);
    window_ = std::make_unique<s>(*live_kt90_, prompts_, nullptr, timers_);
    window_->SetEndProgram([this] { ++ended_; });
    platform_.GetFiles().DisableLog();  // thousands of busy polls
    live_kt90_->IsDeviceConnected();
    window_->cmdRead_Click();
  }

  bool in_set_ = false;
  QColor lamp_;
  ClockedQtPump live_pump_{clock_, [this] {
                             in_set_ = window_->SetInProgress();
                             timers_.Fire(QStringLiteral("tmrStatus"));
                             lamp_ = ConnectedLamp().FillColor();
                           }};
  RegistryFinder finder_{platform_.GetCatalogue()};
  std::unique_ptr<modKT90> live_kt90_;
};

TEST_F(LiveSetTest, StatusTimerRunsDuringTheSet) {
  ASSERT_EQ(ConnectedLamp().RepaintRequests(), 0);
  live_pump_.TickAfter(100);  // about the twelfth write: each waits eight yields
  window_->cmdWrite_Click();
  EXPECT_TRUE(in_set_);
  EXPECT_EQ(lamp_, ui::kLampOn);  // the tick ran inside one of the Set's waits
  EXPECT_EQ(Board().Counts().memory_writes, 79u);
  ExpectWorking();
}

}  // namespace
}  // namespace korimo::test
