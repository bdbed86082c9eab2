#include "sim/board.h"

#include <gtest/gtest.h>

#include <vector>

#include "config/memory_map.h"
#include "device/modKT90.h"
#include "device/modStream.h"

namespace korimo::sim {
namespace {

using std::chrono::milliseconds;

class BoardTest : public ::testing::Test {
 protected:
  void Send(std::vector<std::uint8_t> packet) { board_.Receive(packet); }

  ManualClock clock_;
  Board board_{clock_};
};

// The factory image is written out byte by byte in the simulator; the memory
// map of the tool states the same block as numbers. They must agree.
TEST(BoardFactoryImage, AgreesWithTheFixedParametersOfTheTool) {
  const auto image = Board::FactoryImage();
  for (const memory::FixedSingle& single : memory::FixedParameters.singles) {
    for (std::int16_t i = 0; i < 4; ++i) {
      EXPECT_EQ(image[static_cast<std::size_t>(single.address + i)],
                memory::ByteOf(single.value, i))
          << "cell " << single.address + i;
    }
  }
  for (const memory::FixedByte& fixed : memory::FixedParameters.bytes) {
    EXPECT_EQ(image[fixed.address], fixed.value) << "cell " << int{fixed.address};
  }
  EXPECT_EQ(image[memory::kFixedBlockUntouched], 0xFF);
}

TEST(BoardFactoryImage, IsAKX2WithSerialNumber4660AndErasedElsewhere) {
  const auto image = Board::FactoryImage();
  EXPECT_EQ(image[5], 0x12);
  EXPECT_EQ(image[6], 0x34);
  EXPECT_EQ(image[7], memory::kModelKX2);
  EXPECT_EQ(image[16] * 256 + image[17], 16000);
  EXPECT_EQ(image[20] * 256 + image[21], 50000);
  for (const std::size_t erased : {0u, 4u, 8u, 11u, 24u, 31u, 96u, 224u, 255u}) {
    EXPECT_EQ(image[erased], 0xFF) << "cell " << erased;
  }
}

TEST_F(BoardTest, MemoryWriteStoresItsByte) {
  Send({0x00, 0x04, 0x03, 0x40, 0xAB, 0x00});
  EXPECT_EQ(board_.Cell(0x40), 0xAB);
  EXPECT_EQ(board_.Counts().memory_writes, 1u);
  EXPECT_EQ(board_.Counts().unknown, 0u);
}

TEST_F(BoardTest, MemoryWriteReachesTheLastCell) {
  Send({0x00, 0x04, 0x03, 0xFF, 0x5A, 0x00});
  EXPECT_EQ(board_.Cell(0xFF), 0x5A);
}

TEST_F(BoardTest, PacketsOfTheWrongLengthOrHeaderAreCountedAndIgnored) {
  const auto before = board_.Memory();
  Send({});
  Send({0x00});
  Send({0x00, 0x04, 0x03, 0x40, 0xAB});              // one byte short
  Send({0x00, 0x04, 0x03, 0x40, 0xAB, 0x00, 0x00});  // one byte long
  Send({0x00, 0x05, 0x03, 0x40, 0xAB, 0x00});        // wrong length word
  Send({0x00, 0x04, 0x02, 0x40, 0xAB, 0x00});        // wrong command byte
  std::vector<std::uint8_t> read(34, 0);
  read[1] = 0x20;
  read[2] = 0x03;
  read[3] = 0xFF;
  read[5] = 0x40;
  std::vector<std::uint8_t> short_read(read.begin(), read.end() - 1);
  std::vector<std::uint8_t> long_read = read;
  long_read.push_back(0);
  Send(short_read);
  Send(long_read);
  read[3] = 0xFE;  // not the read request's header
  Send(read);
  Send(std::vector<std::uint8_t>(1000, 0x00));

  EXPECT_EQ(board_.Counts().unknown, 10u);
  EXPECT_EQ(board_.Counts().memory_writes, 0u);
  EXPECT_EQ(board_.Counts().memory_reads, 0u);
  EXPECT_EQ(board_.Memory(), before);
  EXPECT_FALSE(board_.IsBusy());
}

TEST_F(BoardTest, TheToolsOwnPacketsAreAllUnderstood) {
  board_.Receive(MemoryWritePacket(0x30, 1));
  board_.Receive(MemoryReadPacket(0x30));
  board_.Receive(HomePacket());
  board_.Receive(Board::MovePacket(10, 0, 0));
  const CommandCounts& counts = board_.Counts();
  EXPECT_EQ(counts.memory_writes, 1u);
  EXPECT_EQ(counts.memory_reads, 1u);
  EXPECT_EQ(counts.homes, 1u);
  EXPECT_EQ(counts.moves, 1u);
  EXPECT_EQ(counts.unknown, 0u);
}

TEST_F(BoardTest, MemoryWriteKeepsTheBoardBusyForItsTime) {
  board_.Timings().memory_write = Micros{2000};
  EXPECT_FALSE(board_.IsBusy());
  board_.Receive(MemoryWritePacket(0x30, 1));
  EXPECT_TRUE(board_.IsBusy());
  clock_.Advance(Micros{1999});
  EXPECT_TRUE(board_.IsBusy());
  clock_.Advance(Micros{1});
  EXPECT_FALSE(board_.IsBusy());
}

TEST_F(BoardTest, BusyTimesDoNotShrinkWhenAShorterCommandFollows) {
  board_.Timings().memory_write = Micros{2000};
  board_.Timings().memory_read = Micros{100};
  board_.Receive(MemoryWritePacket(0x30, 1));
  board_.Receive(MemoryReadPacket(0x30));
  clock_.Advance(Micros{1500});
  EXPECT_TRUE(board_.IsBusy());
}

TEST_F(BoardTest, ZeroBusyTimesLeaveTheBoardIdle) {
  board_.Timings() = BoardTimings{Micros{0}, Micros{0}, 20000};
  board_.Receive(MemoryWritePacket(0x30, 1));
  board_.Receive(MemoryReadPacket(0x30));
  EXPECT_FALSE(board_.IsBusy());
  EXPECT_EQ(board_.Status()[4], 1);
}

TEST_F(BoardTest, StuckBusyHoldsUntilReleased) {
  board_.SetStuckBusy(true);
  clock_.Advance(std::chrono::hours{1});
  EXPECT_TRUE(board_.IsBusy());
  EXPECT_EQ(board_.Status()[1], 0x80);
  board_.SetStuckBusy(false);
  EXPECT_FALSE(board_.IsBusy());
}

TEST_F(BoardTest, StatusCarriesBusyInputsByte3AndZerosWhereNothingIsDefined) {
  board_.SetInputs(0x7F);
  board_.SetStatusByte3(0x99);
  board_.SetStuckBusy(true);
  const auto status = board_.Status();
  EXPECT_EQ(status.size(), 33u);
  EXPECT_EQ(status[0], 0x00);
  EXPECT_EQ(status[1], 0x80);
  EXPECT_EQ(status[2], 0x7F);
  EXPECT_EQ(status[3], 0x99);
  EXPECT_EQ(status[30], 0x00);
  EXPECT_EQ(status[31], 0x00);
  EXPECT_EQ(status[32], 0x00);
}

TEST_F(BoardTest, StatusMirrorsCells5To23AndNothingElse) {
  for (unsigned cell = 0; cell < kMemorySize; ++cell) {
    board_.SetCell(static_cast<std::uint8_t>(cell), static_cast<std::uint8_t>(cell + 100));
  }
  const auto status = board_.Status();
  for (std::size_t offset = 5; offset <= 23; ++offset) {
    EXPECT_EQ(status[offset], offset + 100) << "offset " << offset;
  }
  EXPECT_NE(status[4], 104);   // not a mirror of cell 4
  EXPECT_NE(status[24], 124);  // positions, not cell 24
}

TEST_F(BoardTest, StatusWordsAreBigEndianAndUnsigned) {
  board_.SetPosition(Axis::kX, 40000);
  board_.SetPosition(Axis::kY, 0x1234);
  board_.SetPosition(Axis::kZ, 65535);
  const auto status = board_.Status();
  EXPECT_EQ(status[24], 0x9C);
  EXPECT_EQ(status[25], 0x40);
  EXPECT_EQ(status[26], 0x12);
  EXPECT_EQ(status[27], 0x34);
  EXPECT_EQ(status[28], 0xFF);
  EXPECT_EQ(status[29], 0xFF);
}

TEST_F(BoardTest, Byte4AnswersTheLastReadRequestOnceItIsDone) {
  board_.Timings().memory_read = Micros{1000};
  board_.SetCell(0x21, 0x11);
  board_.SetCell(0x22, 0x22);
  board_.Receive(MemoryReadPacket(0x21));
  clock_.Advance(Micros{1000});
  EXPECT_EQ(board_.Status()[4], 0x11);

  board_.Receive(MemoryReadPacket(0x22));
  EXPECT_EQ(board_.Status()[4], 0x11) << "still the previous answer while busy";
  clock_.Advance(Micros{999});
  EXPECT_EQ(board_.Status()[4], 0x11);
  clock_.Advance(Micros{1});
  EXPECT_EQ(board_.Status()[4], 0x22);
}

TEST_F(BoardTest, AnAnswerKeepsTheValueTheCellHadWhenItWasAskedFor) {
  board_.Timings().memory_read = Micros{0};
  board_.SetCell(0x21, 0x11);
  board_.Receive(MemoryReadPacket(0x21));
  board_.Receive(MemoryWritePacket(0x21, 0x77));
  EXPECT_EQ(board_.Status()[4], 0x11);
}

class BoardMotionTest : public BoardTest {
 protected:
  void SetUp() override {
    board_.Timings().axis_speed = 20000;  // 20 in/sec: 1000 units in 50 ms
    board_.SetPosition(Axis::kX, 10000);
    board_.SetPosition(Axis::kY, 5000);
    board_.SetPosition(Axis::kZ, 300);
  }
};

TEST_F(BoardMotionTest, HomeRunsXAndYBackToZeroAndIsBusyUntilBothArrive) {
  board_.Receive(HomePacket());
  EXPECT_TRUE(board_.IsBusy());
  EXPECT_EQ(board_.Position(Axis::kX), 10000);

  clock_.Advance(milliseconds{125});
  EXPECT_EQ(board_.Position(Axis::kX), 7500);
  EXPECT_EQ(board_.Position(Axis::kY), 2500);
  const auto status = board_.Status();
  EXPECT_EQ(status[24] * 256 + status[25], 7500);
  EXPECT_EQ(status[26] * 256 + status[27], 2500);

  clock_.Advance(milliseconds{125});
  EXPECT_EQ(board_.Position(Axis::kY), 0);
  EXPECT_TRUE(board_.IsBusy()) << "X is still on its way";

  clock_.Advance(milliseconds{250});
  EXPECT_EQ(board_.Position(Axis::kX), 0);
  EXPECT_FALSE(board_.IsBusy());
  EXPECT_EQ(board_.Position(Axis::kZ), 300) << "home leaves Z alone";
}

TEST_F(BoardMotionTest, HomeWhileAxesAreHomeIsNotBusy) {
  board_.SetPosition(Axis::kX, 0);
  board_.SetPosition(Axis::kY, 0);
  board_.Receive(HomePacket());
  EXPECT_FALSE(board_.IsBusy());
}

TEST_F(BoardMotionTest, HomeInTheMiddleOfAMoveStartsFromWhereTheAxisIs) {
  board_.Receive(Board::MovePacket(2000, 0, 0));  // 10000 -> 12000 in 100 ms
  clock_.Advance(milliseconds{50});
  EXPECT_EQ(board_.Position(Axis::kX), 11000);
  board_.Receive(HomePacket());
  clock_.Advance(milliseconds{275});
  EXPECT_EQ(board_.Position(Axis::kX), 5500);
}

TEST_F(BoardMotionTest, MoveRunsEachAxisByItsSignedDistance) {
  board_.Receive(Board::MovePacket(-1000, 1000, 0));
  clock_.Advance(milliseconds{25});
  EXPECT_EQ(board_.Position(Axis::kX), 9500);
  EXPECT_EQ(board_.Position(Axis::kY), 5500);
  clock_.Advance(milliseconds{25});
  EXPECT_EQ(board_.Position(Axis::kX), 9000);
  EXPECT_EQ(board_.Position(Axis::kY), 6000);
  EXPECT_EQ(board_.Position(Axis::kZ), 300);
  EXPECT_FALSE(board_.IsBusy());
}

TEST_F(BoardMotionTest, MoveStopsAtZeroAndAt65535) {
  board_.SetPosition(Axis::kY, 65000);
  board_.Receive(Board::MovePacket(0, 32767, -32768));
  clock_.Advance(std::chrono::seconds{10});
  EXPECT_EQ(board_.Position(Axis::kY), 65535);
  EXPECT_EQ(board_.Position(Axis::kZ), 0);
}

TEST(BoardMovePacket, HasTheDocumentedLayout) {
  const auto packet = Board::MovePacket(-2, 0x0102, 0);
  const std::array<std::uint8_t, kMovePacketSize> expected{0x00, 0x08, 0x4D, 0x56, 0xFF,
                                                           0xFE, 0x01, 0x02, 0x00, 0x00};
  EXPECT_EQ(packet, expected);
}

TEST_F(BoardTest, ResetCountsStartsAfresh) {
  board_.Receive(HomePacket());
  board_.Receive(std::vector<std::uint8_t>{1, 2, 3});
  board_.ResetCounts();
  EXPECT_EQ(board_.Counts().homes, 0u);
  EXPECT_EQ(board_.Counts().unknown, 0u);
}

}  // namespace
}  // namespace korimo::sim
