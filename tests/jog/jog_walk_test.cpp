// Holding a jog button walks its movement file again and again; how walks,
// busy reports, missing or damaged files and message boxes meet.
#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include "motion/move_file.h"
#include "tests/jog/move_fixture.h"

namespace korimo::test {
namespace {

constexpr int kJogPosX = 12;
constexpr int kJogNegY = 13;

class JogWalkTest : public MoveWindowTest {
 protected:
  void SetUp() override {
    MoveWindowTest::SetUp();
    // Two records of +10 on X: each keeps the board busy for 500 us.
    WriteMoveFile("JOGPOSX", MoveRecords({{10, 0, 0}, {10, 0, 0}}));
    Board().SetPosition(sim::Axis::kX, 1000);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  void TearDown() override {
    window_->hide();
    MoveWindowTest::TearDown();
  }

  void Press(int index, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(&Jog(index), button, {}, QPoint(4, 4));
  }
  void Release(int index, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseRelease(&Jog(index), button, {}, QPoint(4, 4));
  }

  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const testing::PromptCall& call : prompts_.calls) {
      messages.push_back(call.text);
    }
    return messages;
  }
};

TEST_F(JogWalkTest, HoldingWalksTheFileAgainAfterEachWalk) {
  ClockRunsWhileWaiting();
  Press(kJogPosX);
  EXPECT_EQ(window_->HeldJogIndex(), kJogPosX);

  Tick();
  EXPECT_EQ(Moves().size(), 2u);
  EXPECT_EQ(Moves()[0], MoveRecords({{10, 0, 0}}));
  // The walk waited for the first record to end before it sent the second.
  EXPECT_GE(Board().Position(sim::Axis::kX), 1010);

  clock_.Advance(sim::Micros{1000});  // the last record ends
  Tick();
  EXPECT_EQ(Moves().size(), 4u);
  clock_.Advance(sim::Micros{1000});
  Tick();
  EXPECT_EQ(Moves().size(), 6u);
  clock_.Advance(sim::Micros{1000});
  EXPECT_EQ(Board().Position(sim::Axis::kX), 1060);

  Release(kJogPosX);
  EXPECT_EQ(window_->HeldJogIndex(), 0);
  Tick();
  Tick();
  EXPECT_EQ(Moves().size(), 6u);
  EXPECT_EQ(Readout("lblPositionX").text(), "01.060");
  EXPECT_TRUE(prompts_.calls.empty());
}

TEST_F(JogWalkTest, ATickAsksBusyFirstAndReadsThePositionsAfterTheWalk) {
  ClockRunsWhileWaiting();
  Press(kJogPosX);
  Tick();
  std::vector<sim::FileEvent> kinds;
  for (const sim::FileLogEntry& entry : Files().Log()) {
    if (entry.kind == sim::FileEvent::kRead || entry.kind == sim::FileEvent::kWrite) {
      kinds.push_back(entry.kind);
    }
  }
  ASSERT_GE(kinds.size(), 7u);
  EXPECT_EQ(kinds.front(), sim::FileEvent::kRead);  // the tick's busy query
  EXPECT_EQ(kinds[1], sim::FileEvent::kRead);       // the walk's idle report for record 1
  EXPECT_EQ(kinds[2], sim::FileEvent::kWrite);
  const std::vector<sim::FileEvent> tail(kinds.end() - 4, kinds.end());
  EXPECT_EQ(tail, (std::vector<sim::FileEvent>{sim::FileEvent::kWrite, sim::FileEvent::kRead,
                                               sim::FileEvent::kRead, sim::FileEvent::kRead}));
}

TEST_F(JogWalkTest, ReleaseDuringAWalkLetsItFinishAndStartsNoOther) {
  int yields = 0;
  pump_.action = [&](int) {
    clock_.Advance(sim::Micros{100});
    if (++yields == 2) {
      Release(kJogPosX);
    }
  };
  Press(kJogPosX);
  Tick();
  EXPECT_EQ(window_->HeldJogIndex(), 0);
  EXPECT_EQ(Moves().size(), 2u);
  clock_.Advance(sim::Micros{1000});
  Tick();
  EXPECT_EQ(Moves().size(), 2u);
}

TEST_F(JogWalkTest, AnyMouseButtonHoldsAndAReleaseOverAnotherButtonClearsTheHold) {
  Press(kJogPosX, Qt::RightButton);
  EXPECT_EQ(window_->HeldJogIndex(), kJogPosX);
  // The pointer moves to JOGNEGY and is released there; the press holds the mouse.
  QTest::mouseMove(&Jog(kJogNegY), QPoint(4, 4));
  Release(kJogNegY, Qt::RightButton);
  EXPECT_EQ(window_->HeldJogIndex(), 0);

  window_->picMove_MouseDown(kJogNegY);
  window_->picMove_MouseUp(kJogPosX);  // from whichever element
  EXPECT_EQ(window_->HeldJogIndex(), 0);
}

TEST_F(JogWalkTest, ABusyControllerHoldsTheWalkBack) {
  ClockRunsWhileWaiting();
  Board().SetStuckBusy(true);
  Press(kJogPosX);
  Tick();
  Tick();
  EXPECT_TRUE(Moves().empty());
  EXPECT_EQ(Files().Counts().reads, 8u);  // busy query and three positions, twice
  Board().SetStuckBusy(false);
  Tick();
  EXPECT_EQ(Moves().size(), 2u);
}

TEST_F(JogWalkTest, ABusyTestWithNoAnswerStopsTheWalkAtThatRecord) {
  ClockRunsWhileWaiting();
  // From the first record's data open on, no status read gets an answer.
  Files().SetOpenHook([this, writes = 0](const std::string&, const OpenParameters& params) mutable {
    if (params == kWriteOpen && ++writes == 2) {
      Files().FailOpens(sim::FaultSpan::ForGood(), sim::OpenKind::kRead);
    }
  });
  Press(kJogPosX);
  Tick();
  Files().SetOpenHook(nullptr);
  EXPECT_EQ(Moves().size(), 1u) << "the second record waits for an idle report";
  EXPECT_EQ(window_->HeldJogIndex(), 0);
  EXPECT_TRUE(prompts_.calls.empty()) << "as for an unplugging, nothing is shown";
}

TEST_F(JogWalkTest, MissingFileIsReportedOncePerPress) {
  Press(kJogNegY);
  Tick();
  ASSERT_EQ(Messages(), (std::vector<std::string>{"Movement File is missing"}));
  EXPECT_EQ(prompts_.calls[0].title, "");  // the application title
  EXPECT_EQ(prompts_.calls[0].buttons, MessageButtons::kOk);
  EXPECT_EQ(window_->HeldJogIndex(), 0);
  Tick();
  Tick();
  EXPECT_EQ(Messages().size(), 1u);
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(Readout("lblPositionX").text(), "01.000");  // the tick went on

  // The release went to the message box; a new press asks again.
  Press(kJogNegY);
  Tick();
  EXPECT_EQ(Messages().size(), 2u);
}

TEST_F(JogWalkTest, DamagedFileIsReportedOnceAndItsWholeRecordsAreSent) {
  std::vector<std::uint8_t> bytes = MoveRecords({{0, -10, 0}});
  bytes.insert(bytes.end(), {0x00, 0x08, 0x4D});  // ends inside the second record
  WriteMoveFile("JOGNEGY", bytes);
  Press(kJogNegY);
  Tick();
  Tick();
  Tick();
  EXPECT_EQ(Messages(), (std::vector<std::string>{"Movement File is damaged"}));
  EXPECT_EQ(Moves().size(), 1u);
  EXPECT_EQ(window_->HeldJogIndex(), 0);
}

// Prompts whose message box, like a modal one, lets the jog timer tick while it
// is up, and that notes how deep message boxes stack.
class TickingPrompts final : public Prompts {
 public:
  std::function<void()> tick;
  int messages = 0;
  int depth = 0;
  int deepest = 0;

  MessageAnswer ShowMessage(const std::string&, const std::string&, MessageButtons,
                            MessageAnswer) override {
    ++messages;
    deepest = std::max(deepest, ++depth);
    for (int i = 0; i < 5; ++i) {
      tick();
    }
    --depth;
    return MessageAnswer::kOk;
  }
  std::optional<std::string> AskText(const std::string&, const std::string&) override {
    return std::nullopt;
  }
};

TEST_F(JogWalkTest, NoMessageBoxStacksOnTheMissingFileMessage) {
  TickingPrompts prompts;
  frmMove window(kt90_, prompts, nullptr, timers_);
  window.SetProgramFolder(folder_.path());
  prompts.tick = [&] {
    Board().SetPosition(sim::Axis::kX, 2000);
    window.tmrMove_Timer();
  };
  window.picMove_MouseDown(kJogNegY);  // its release is lost in the message box
  window.tmrMove_Timer();
  window.tmrMove_Timer();
  EXPECT_EQ(prompts.messages, 1);
  EXPECT_EQ(prompts.deepest, 1);
  EXPECT_EQ(window.HeldJogIndex(), 0);
  // The ticks under the message box still refreshed the readouts.
  EXPECT_EQ(window.findChild<QLabel*>("lblPositionX")->text(), "02.000");
}

TEST_F(JogWalkTest, WalksNeverNest) {
  // A tick that arrives while the walk waits, and finds the board idle by then.
  int inner_ticks = 0;
  QString inner_readout;
  pump_.action = [&](int) {
    clock_.Advance(sim::Micros{600});
    if (inner_ticks < 3) {
      ++inner_ticks;
      EXPECT_TRUE(window_->Walking());
      Tick();
      inner_readout = Readout("lblPositionX").text();
    }
  };
  Press(kJogPosX);
  Tick();
  EXPECT_EQ(inner_ticks, 1);  // the walk waited once, before its second record
  EXPECT_EQ(Moves().size(), 2u);
  EXPECT_FALSE(window_->Walking());
  // The tick inside the walk refreshed the readouts, the first record done.
  EXPECT_EQ(inner_readout, "01.010");
  clock_.Advance(sim::Micros{1000});
  EXPECT_EQ(Board().Position(sim::Axis::kX), 1020);
}

TEST_F(JogWalkTest, TheWalkTimerRefreshesTheReadoutsWhileAWalkWaits) {
  int walk_ticks = 0;
  QString readout;
  pump_.action = [&](int) {
    clock_.Advance(sim::Micros{600});
    walk_ticks += timers_.Fire("walkTicks");
    readout = Readout("lblPositionX").text();
  };
  Press(kJogPosX);
  Tick();
  EXPECT_EQ(walk_ticks, 1);  // the one wait, before the second record
  EXPECT_EQ(readout, "01.010");
  EXPECT_EQ(Moves().size(), 2u);
  EXPECT_EQ(timers_.Fire("walkTicks"), 0);  // stopped with the walk
}

TEST_F(JogWalkTest, NoWalkStartsWhileADialogHoldsTheMouse) {
  QMessageBox box(QMessageBox::NoIcon, "Other", "Something else", QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.show();
  ASSERT_EQ(QApplication::activeModalWidget(), &box);
  window_->picMove_MouseDown(kJogPosX);  // held before the dialog came up
  Tick();
  EXPECT_TRUE(Moves().empty());
  EXPECT_TRUE(prompts_.calls.empty());
  EXPECT_EQ(window_->HeldJogIndex(), 0);
  EXPECT_EQ(Files().Counts().reads, 4u);  // the readouts still follow
  box.hide();
}

}  // namespace
}  // namespace korimo::test
