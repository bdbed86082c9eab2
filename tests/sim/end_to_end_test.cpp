// The real command set (modKT90, the channel and discovery) against the
// simulated engraver.
#include <gtest/gtest.h>

#include <vector>

#include "config/memory_map.h"
#include "config/set_plan.h"
#include "sim_fixture.h"

namespace korimo::sim {
namespace {

SetPlan PlanKX2(std::string serial_number) {
  const ModelPreset* kx2 = FindPreset("Korimo KX2");
  return PlanSet(PresetFieldTexts(*kx2, std::move(serial_number)), kx2->code);
}

using EndToEndTest = SimEngraverTest;

TEST_F(EndToEndTest, DiscoveryFindsTheEngraverAndLeavesNoKeyOpen) {
  EXPECT_EQ(kt90_.DevicePath(), platform_.DevicePath());
  EXPECT_TRUE(platform_.GetCatalogue().OpenHandles().empty());
}

TEST_F(EndToEndTest, ASetOfTheKX2PresetsLandsInMemoryAndReadsBack) {
  std::array<std::uint8_t, kMemorySize> blank;
  blank.fill(0x00);
  board().SetMemory(blank);

  const SetPlan plan = PlanKX2("4660");
  ASSERT_EQ(plan.writes.size(), kSetWriteCount);
  for (const SetWrite& write : plan.writes) {
    kt90_.WriteEEPromByte(write.address, write.value);
  }
  EXPECT_EQ(board().Counts().memory_writes, 79u);
  EXPECT_EQ(board().Counts().unknown, 0u);

  EXPECT_EQ(kt90_.GetSerialNumber(), 4660);
  EXPECT_EQ(kt90_.GetModelCode(), memory::kModelKX2);
  EXPECT_EQ(kt90_.GetMaxX(), 16000);
  EXPECT_EQ(kt90_.GetMaxY(), 12000);
  EXPECT_EQ(kt90_.GetMaxZ(), 4250);
  EXPECT_EQ(kt90_.GetRasterSpeed(), 50000) << "a word above 32767 reads unsigned";
  EXPECT_EQ(kt90_.GetVectorSpeed(), 10000);
  EXPECT_EQ(kt90_.GetZSpeed(), 8000);

  // Every cell the Set writes now holds the factory KX2 with serial 4660.
  const auto factory = Board::FactoryImage();
  for (unsigned cell = 0; cell < kMemorySize; ++cell) {
    const bool written = (cell >= 5 && cell <= 7) || (cell >= 12 && cell <= 23) ||
                         (cell >= 32 && cell <= 95 && cell != 91);
    EXPECT_EQ(board().Cell(static_cast<std::uint8_t>(cell)), written ? factory[cell] : 0x00)
        << "cell " << cell;
  }
}

TEST_F(EndToEndTest, ASetAfterTheEditorsClearLeaves91Alone) {
  for (unsigned cell = memory::kFixedBlockFirst; cell <= memory::kFixedBlockLast; ++cell) {
    kt90_.WriteEEPromByte(static_cast<std::uint8_t>(cell), 0xFF);
  }
  for (const SetWrite& write : PlanKX2("00001").writes) {
    kt90_.WriteEEPromByte(write.address, write.value);
  }
  EXPECT_EQ(board().Cell(91), 0xFF);
  EXPECT_EQ(board().Cell(90), 0x01);
  EXPECT_EQ(kt90_.GetSerialNumber(), 1);
}

TEST_F(EndToEndTest, ReadEEPromByteReturnsEachCell) {
  for (unsigned cell = 0; cell < kMemorySize; ++cell) {
    board().SetCell(static_cast<std::uint8_t>(cell), static_cast<std::uint8_t>(255 - cell));
  }
  // Asked in a row, so a reply taken before the board has answered would show
  // the previous cell's value.
  for (const std::uint8_t address : std::vector<std::uint8_t>{0x00, 0x20, 0x21, 0x5F, 0xE0, 0xFF}) {
    EXPECT_EQ(kt90_.ReadEEPromByte(address), 255 - address) << "address " << int{address};
  }
  EXPECT_EQ(board().Counts().memory_reads, 6u);
}

TEST_F(EndToEndTest, FormatEEPromRowShowsTheFixedBlock) {
  EXPECT_EQ(kt90_.FormatEEPromRow(0x20, 0x27), "0x20: 0xCD 0xCC 0xCC 0x3C 0x0A 0xD7 0x23 0x3C");
  EXPECT_EQ(kt90_.FormatEEPromRow(0x58, 0x5F), "0x58: 0x00 0x00 0x01 0xFF 0x00 0x00 0x28 0x5A");
  EXPECT_EQ(kt90_.FormatEEPromRow(0xFE, 0xFF), "0xFE: 0xFF 0xFF");
}

TEST_F(EndToEndTest, AWaitPollsWhileBusyAndAStatusTickRunsInTheMiddle) {
  board().Timings().memory_write = Micros{2000};
  SetStep(Micros{500});
  kt90_.WriteEEPromByte(0x30, 0x11);
  const int turns_before = pump_.turns;

  bool tick_ran = false;
  SetScript([&](int turn) {
    if (turn == turns_before + 2) {
      // A status tick of the main window: a complete transaction of its own.
      EXPECT_EQ(files().Counts().open_handles, 0u) << "the wait holds no handle";
      EXPECT_TRUE(kt90_.IsDeviceConnected());
      EXPECT_EQ(kt90_.GetModelCode(), memory::kModelKX2);
      EXPECT_EQ(kt90_.IsControllerBusy(), BusyState::kBusy);
      tick_ran = true;
    }
  });
  kt90_.WriteEEPromByte(0x31, 0x22);

  EXPECT_TRUE(tick_ran);
  EXPECT_EQ(pump_.turns - turns_before, 4) << "busy for 2000 us, 500 us a turn";
  EXPECT_EQ(board().Cell(0x30), 0x11);
  EXPECT_EQ(board().Cell(0x31), 0x22);
  EXPECT_EQ(files().Counts().open_handles, 0u);
}

TEST_F(EndToEndTest, HomeIsSentWhileBusyAndThePositionsRunBackToZero) {
  board().Timings().axis_speed = 20000;
  board().SetPosition(Axis::kX, 10000);
  board().SetPosition(Axis::kY, 2000);
  board().SetStuckBusy(true);
  kt90_.HomeXY();
  board().SetStuckBusy(false);
  EXPECT_EQ(board().Counts().homes, 1u);
  EXPECT_EQ(kt90_.IsControllerBusy(), BusyState::kBusy);
  clock_.Advance(std::chrono::milliseconds{250});
  EXPECT_EQ(kt90_.GetPositionX(), 5000);
  EXPECT_EQ(kt90_.GetPositionY(), 0);
  SetStep(std::chrono::milliseconds{10});
  EXPECT_TRUE(kt90_.WaitWhileBusy());
  EXPECT_EQ(kt90_.GetPositionX(), 0);
}

TEST_F(EndToEndTest, AStuckBoardHoldsAWaitUntilItsLimitGivesUp) {
  board().SetStuckBusy(true);
  int asked = 0;
  kt90_.SetWaitLimit([&] { return ++asked == 5; });
  kt90_.WriteEEPromByte(0x30, 0x99);
  EXPECT_TRUE(kt90_.WaitGaveUp());
  EXPECT_EQ(asked, 5);
  EXPECT_EQ(board().Counts().memory_writes, 0u) << "a command whose wait gave up is not sent";
}

TEST_F(EndToEndTest, AnUnplugInTheMiddleOfASetDropsTheRestSilently) {
  std::array<std::uint8_t, kMemorySize> before;
  before.fill(0xEE);
  board().SetMemory(before);
  const SetPlan plan = PlanKX2("4660");
  constexpr std::uint32_t kWrittenBeforeUnplug = 10;
  SetScript([&](int) {
    if (platform_.Plugged() && board().Counts().memory_writes == kWrittenBeforeUnplug) {
      platform_.Unplug();
    }
  });

  for (const SetWrite& write : plan.writes) {
    kt90_.WriteEEPromByte(write.address, write.value);
  }

  EXPECT_EQ(board().Counts().memory_writes, kWrittenBeforeUnplug);
  std::array<std::uint8_t, kMemorySize> expected = before;
  for (std::size_t i = 0; i < kWrittenBeforeUnplug; ++i) {
    expected[plan.writes[i].address] = plan.writes[i].value;
  }
  EXPECT_EQ(board().Memory(), expected);
  EXPECT_EQ(files().Counts().open_handles, 0u);
  EXPECT_GT(files().Counts().failed_opens, 0u);

  // The next tick notices; plugged back in, the written cells still read.
  EXPECT_FALSE(kt90_.IsDeviceConnected());
  platform_.Plug();
  EXPECT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.GetSerialNumber(), 4660);
}

TEST_F(EndToEndTest, WithTheBoardAbsentNoValueIsTakenAndNothingIsSent) {
  board().SetStuckBusy(true);
  platform_.Unplug();
  EXPECT_EQ(kt90_.IsControllerBusy(), BusyState::kNoAnswer);
  EXPECT_EQ(kt90_.GetMaxX(), std::nullopt);
  const int turns = pump_.turns;
  EXPECT_EQ(kt90_.ReadEEPromByte(0x20), std::nullopt);
  EXPECT_EQ(pump_.turns - turns, kStatusTries) << "the wait's turn and a pause between tries";
  EXPECT_FALSE(kt90_.WriteEEPromByte(0x20, 0x01));
  EXPECT_EQ(board().Counts().memory_writes, 0u);
  EXPECT_EQ(board().Counts().memory_reads, 0u);
}

TEST_F(EndToEndTest, AShortStatusReadIsAskedForAgain) {
  files().ShortReads(FaultSpan::Once(), 17);
  EXPECT_EQ(kt90_.GetMaxX(), 16000) << "not 0x3E00 from the half that arrived";
  files().ShortReads(FaultSpan::Times(kStatusTries), 17);
  EXPECT_EQ(kt90_.GetStatusByte(16), std::nullopt);
  EXPECT_EQ(kt90_.GetMaxX(), 16000);
}

}  // namespace
}  // namespace korimo::sim
