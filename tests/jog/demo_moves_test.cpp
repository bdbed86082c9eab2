// The demo's movement files: one per jog button, in the simulated board's move
// command, each moving its button's axis its way.
#include "app/demo_moves.h"

#include <QTemporaryDir>
#include <filesystem>
#include <map>

#include "jog/jog_buttons.h"
#include "tests/jog/move_fixture.h"

namespace korimo::test {
namespace {

TEST(DemoMoves, OneFileOfMoveRecordsPerButton) {
  const std::vector<app::DemoMoveFile> files = app::DemoMoveFiles();
  ASSERT_EQ(files.size(), jog::kJogButtons.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const jog::JogButtonDesign& button = jog::kJogButtons[i];
    SCOPED_TRACE(button.tag);
    EXPECT_EQ(files[i].name, std::string(button.tag) + ".mov");
    const std::int16_t step = button.outer ? app::kOuterStep : app::kInnerStep;
    const auto distance = static_cast<std::int16_t>(button.direction * step);
    const std::array<std::int16_t, 3> move{
        button.axis == jog::JogAxis::kX ? distance : std::int16_t{0},
        button.axis == jog::JogAxis::kY ? distance : std::int16_t{0},
        button.axis == jog::JogAxis::kZ ? distance : std::int16_t{0}};
    const std::vector<std::uint8_t> record = MoveRecords({move});
    ASSERT_EQ(files[i].bytes.size() % record.size(), 0u);
    EXPECT_EQ(files[i].bytes.size() / record.size(), button.outer ? 4u : 1u);
    for (std::size_t at = 0; at < files[i].bytes.size(); at += record.size()) {
      EXPECT_TRUE(std::equal(record.begin(), record.end(),
                             files[i].bytes.begin() + static_cast<std::ptrdiff_t>(at)));
    }
  }
}

class DemoMovesWalkTest : public MoveWindowTest {};

// Every button, held for one walk of its file, moves the simulated axis.
TEST_F(DemoMovesWalkTest, EachButtonMovesItsAxisItsWay) {
  std::string error;
  ASSERT_TRUE(app::WriteDemoMoveFiles(folder_.path().toStdString(), error)) << error;
  ClockRunsWhileWaiting();
  for (const jog::JogButtonDesign& button : jog::kJogButtons) {
    SCOPED_TRACE(button.tag);
    for (sim::Axis axis : {sim::Axis::kX, sim::Axis::kY, sim::Axis::kZ}) {
      Board().SetPosition(axis, 1000);
    }
    window_->picMove_MouseDown(button.index);
    Tick();
    window_->picMove_MouseUp(button.index);
    clock_.Advance(sim::Micros{100'000});
    const sim::Axis moved = button.axis == jog::JogAxis::kX   ? sim::Axis::kX
                            : button.axis == jog::JogAxis::kY ? sim::Axis::kY
                                                              : sim::Axis::kZ;
    const int travel = button.outer ? app::kOuterStep * app::kOuterRecords : app::kInnerStep;
    for (sim::Axis axis : {sim::Axis::kX, sim::Axis::kY, sim::Axis::kZ}) {
      EXPECT_EQ(Board().Position(axis), axis == moved ? 1000 + button.direction * travel : 1000);
    }
  }
  EXPECT_TRUE(prompts_.calls.empty());
  EXPECT_EQ(Board().Counts().unknown, 0u);
  EXPECT_EQ(Board().Counts().moves, 6u * 4u + 6u);
}

TEST(DemoMoves, WritingIntoAMissingFolderSaysWhichFile) {
  QTemporaryDir dir;
  std::string error;
  EXPECT_FALSE(
      app::WriteDemoMoveFiles(std::filesystem::path(dir.path().toStdString()) / "none", error));
  EXPECT_NE(error.find("JOGPOSY.mov"), std::string::npos) << error;
}

}  // namespace
}  // namespace korimo::test
