#include "sim/device_files.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/modKT90.h"

namespace korimo::sim {
namespace {

constexpr const char* kPath = "\\\\?\\USB#Vid_7e21&Pid_0065#6&1c3f4e2&0&1#{guid}";

class DeviceFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    board_.Timings() = BoardTimings{Micros{0}, Micros{0}, 20000};
    files_.Attach(board_, kPath);
  }

  FileHandle MustOpen(const OpenParameters& params) {
    const auto file = files_.Open(kPath, params);
    EXPECT_TRUE(file);
    return file.value_or(0);
  }

  ManualClock clock_;
  Board board_{clock_};
  SimDeviceFiles files_{clock_};
};

TEST_F(DeviceFilesTest, OnlyTheChannelsTwoParameterSetsAreAccepted) {
  const OpenParameters read_open_existing{0xC0000000u, 0u, 3u, 0x80u};
  const OpenParameters write_shared_read{0x40000000u, 3u, 3u, 0u};
  const OpenParameters read_only{0x80000000u, 0u, 4u, 0x80u};
  for (const OpenParameters& params : {read_open_existing, write_shared_read, read_only}) {
    EXPECT_FALSE(files_.Open(kPath, params));
  }
  files_.Close(MustOpen(kReadOpen));
  files_.Close(MustOpen(kWriteOpen));
  EXPECT_EQ(files_.Counts().failed_opens, 3u);
  EXPECT_EQ(files_.Counts().opens, 2u);
}

TEST_F(DeviceFilesTest, OnlyTheAttachedPathOpensIgnoringCase) {
  EXPECT_FALSE(files_.Open("\\\\?\\USB#Vid_7e21&Pid_0065#6&1c3f4e2&0&2#{guid}", kReadOpen));
  EXPECT_FALSE(files_.Open("", kReadOpen));
  const auto file = files_.Open("\\\\?\\usb#VID_7E21&PID_0065#6&1C3F4E2&0&1#{GUID}", kReadOpen);
  ASSERT_TRUE(file);
  files_.Close(*file);
}

TEST_F(DeviceFilesTest, NothingOpensWithNoBoardAttached) {
  files_.Detach();
  EXPECT_FALSE(files_.Attached());
  EXPECT_FALSE(files_.Open(kPath, kReadOpen));
  EXPECT_FALSE(files_.Open(kPath, kWriteOpen));
  files_.Attach(board_, kPath);
  files_.Close(MustOpen(kReadOpen));
}

TEST_F(DeviceFilesTest, AReadHandleIsExclusive) {
  const FileHandle read = MustOpen(kReadOpen);
  EXPECT_FALSE(files_.Open(kPath, kReadOpen));
  EXPECT_FALSE(files_.Open(kPath, kWriteOpen));
  files_.Close(read);
  files_.Close(MustOpen(kReadOpen));
}

TEST_F(DeviceFilesTest, WriteHandlesShareWritingButKeepAReadOut) {
  const FileHandle first = MustOpen(kWriteOpen);
  const FileHandle second = MustOpen(kWriteOpen);
  EXPECT_FALSE(files_.Open(kPath, kReadOpen));
  EXPECT_EQ(files_.Counts().open_handles, 2u);
  files_.Close(first);
  files_.Close(second);
  EXPECT_EQ(files_.Counts().open_handles, 0u);
  files_.Close(MustOpen(kReadOpen));
}

TEST_F(DeviceFilesTest, AReadDeliversTheStatusPacket) {
  board_.SetInputs(0x21);
  board_.SetStuckBusy(true);
  const FileHandle file = MustOpen(kReadOpen);
  std::vector<std::uint8_t> buffer(33, 0xEE);
  EXPECT_EQ(files_.Read(file, buffer), 33u);
  const auto status = board_.Status();
  EXPECT_TRUE(std::equal(status.begin(), status.end(), buffer.begin()));
  files_.Close(file);
}

TEST_F(DeviceFilesTest, AReadCopiesAtMostTheStatusPacket) {
  const FileHandle file = MustOpen(kReadOpen);
  std::vector<std::uint8_t> large(40, 0xEE);
  EXPECT_EQ(files_.Read(file, large), 33u);
  EXPECT_EQ(large[32], board_.Status()[32]);
  EXPECT_EQ(large[33], 0xEE);
  EXPECT_EQ(large[39], 0xEE);
  std::vector<std::uint8_t> small(7, 0xEE);
  EXPECT_EQ(files_.Read(file, small), 7u);
  EXPECT_EQ(small[6], board_.Status()[6]);
  std::vector<std::uint8_t> none;
  EXPECT_EQ(files_.Read(file, none), 0u);
  files_.Close(file);
}

TEST_F(DeviceFilesTest, AWriteHandleCannotRead) {
  const FileHandle file = MustOpen(kWriteOpen);
  std::vector<std::uint8_t> buffer(33, 0xEE);
  EXPECT_FALSE(files_.Read(file, buffer));
  EXPECT_EQ(buffer[5], 0xEE);
  files_.Close(file);
}

TEST_F(DeviceFilesTest, AWriteHandsThePacketToTheBoard) {
  const FileHandle file = MustOpen(kWriteOpen);
  EXPECT_TRUE(files_.Write(file, MemoryWritePacket(0x40, 0x12)));
  EXPECT_TRUE(files_.Flush(file));
  files_.Close(file);
  EXPECT_EQ(board_.Cell(0x40), 0x12);
  const FileCounts& counts = files_.Counts();
  EXPECT_EQ(counts.writes, 1u);
  EXPECT_EQ(counts.flushes, 1u);
  EXPECT_EQ(counts.closes, 1u);
}

TEST_F(DeviceFilesTest, UnknownHandlesFailAndAreCounted) {
  std::vector<std::uint8_t> buffer(33);
  EXPECT_FALSE(files_.Read(0x77, buffer));
  EXPECT_FALSE(files_.Write(0x77, buffer));
  EXPECT_FALSE(files_.Flush(0x77));
  files_.Close(0x77);
  EXPECT_EQ(files_.Counts().bad_handles, 4u);
  EXPECT_EQ(files_.Counts().closes, 0u);
}

TEST_F(DeviceFilesTest, AHandleFromBeforeAnUnplugReachesNothingAfterIt) {
  const FileHandle file = MustOpen(kWriteOpen);
  files_.Detach();
  files_.Attach(board_, kPath);
  EXPECT_FALSE(files_.Write(file, MemoryWritePacket(0x40, 0x12)));
  EXPECT_FALSE(files_.Flush(file));
  EXPECT_NE(board_.Cell(0x40), 0x12);
  files_.Close(MustOpen(kReadOpen));  // the stale handle does not block the new device
  files_.Close(file);
  EXPECT_EQ(files_.Counts().open_handles, 0u);
}

// Faults: each shape once, a few times, and for good.

TEST_F(DeviceFilesTest, FailOpensOnceThenWorks) {
  files_.FailOpens(FaultSpan::Once());
  EXPECT_FALSE(files_.Open(kPath, kReadOpen));
  files_.Close(MustOpen(kReadOpen));
  files_.Close(MustOpen(kWriteOpen));
}

TEST_F(DeviceFilesTest, FailOpensForGood) {
  files_.FailOpens(FaultSpan::ForGood());
  for (int i = 0; i < 20; ++i) {
    EXPECT_FALSE(files_.Open(kPath, i % 2 ? kReadOpen : kWriteOpen));
  }
  files_.ClearFaults();
  files_.Close(MustOpen(kReadOpen));
}

TEST_F(DeviceFilesTest, FailOpensCountsOnlyOpensItStrikes) {
  files_.FailOpens(FaultSpan::Times(2), OpenKind::kWrite);
  files_.Close(MustOpen(kReadOpen));
  files_.Detach();
  EXPECT_FALSE(files_.Open(kPath, kWriteOpen));  // fails as unplugged, not by the fault
  files_.Attach(board_, kPath);
  EXPECT_FALSE(files_.Open(kPath, kWriteOpen));
  EXPECT_FALSE(files_.Open(kPath, kWriteOpen));
  files_.Close(MustOpen(kWriteOpen));
}

TEST_F(DeviceFilesTest, ShortReadsLeaveTheTailAsItWas) {
  board_.SetStuckBusy(true);
  files_.ShortReads(FaultSpan::Once(), 1);
  const FileHandle file = MustOpen(kReadOpen);
  std::vector<std::uint8_t> buffer(33, 0xEE);
  EXPECT_EQ(files_.Read(file, buffer), 1u);
  EXPECT_EQ(buffer[0], 0x00);
  EXPECT_EQ(buffer[1], 0xEE) << "the busy byte never arrived";
  EXPECT_EQ(files_.Read(file, buffer), 33u);
  EXPECT_EQ(buffer[1], 0x80);
  files_.Close(file);
  EXPECT_EQ(files_.Counts().short_reads, 1u);
}

TEST_F(DeviceFilesTest, ShortReadsAreAlwaysShort) {
  files_.ShortReads(FaultSpan::ForGood(), 500);
  const FileHandle file = MustOpen(kReadOpen);
  std::vector<std::uint8_t> buffer(33);
  EXPECT_EQ(files_.Read(file, buffer), 32u);
  EXPECT_EQ(files_.Read(file, buffer), 32u);
  files_.Close(file);
}

TEST_F(DeviceFilesTest, FailReadsLeaveTheBufferAlone) {
  board_.SetStuckBusy(true);
  files_.FailReads(FaultSpan::Once());
  const FileHandle file = MustOpen(kReadOpen);
  std::vector<std::uint8_t> buffer(33, 0);
  EXPECT_FALSE(files_.Read(file, buffer));
  EXPECT_EQ(buffer[1], 0);
  EXPECT_TRUE(files_.Read(file, buffer));
  files_.Close(file);
}

TEST_F(DeviceFilesTest, DropWritesReportSuccessButTheBoardNeverSeesThem) {
  files_.DropWrites(FaultSpan::Times(2));
  const FileHandle file = MustOpen(kWriteOpen);
  EXPECT_TRUE(files_.Write(file, MemoryWritePacket(0x40, 1)));
  EXPECT_TRUE(files_.Write(file, MemoryWritePacket(0x41, 1)));
  EXPECT_TRUE(files_.Write(file, MemoryWritePacket(0x42, 1)));
  files_.Close(file);
  EXPECT_EQ(board_.Counts().memory_writes, 1u);
  EXPECT_EQ(board_.Cell(0x42), 1);
  EXPECT_EQ(files_.Counts().dropped_writes, 2u);
}

TEST_F(DeviceFilesTest, DropWritesForGood) {
  files_.DropWrites(FaultSpan::ForGood());
  const FileHandle file = MustOpen(kWriteOpen);
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(files_.Write(file, MemoryWritePacket(0x40, 1)));
  }
  files_.Close(file);
  EXPECT_EQ(board_.Counts().memory_writes, 0u);
}

TEST_F(DeviceFilesTest, FailWritesReportFailure) {
  files_.FailWrites(FaultSpan::Once());
  const FileHandle file = MustOpen(kWriteOpen);
  EXPECT_FALSE(files_.Write(file, MemoryWritePacket(0x40, 1)));
  EXPECT_TRUE(files_.Write(file, MemoryWritePacket(0x40, 2)));
  files_.Close(file);
  EXPECT_EQ(board_.Cell(0x40), 2);
  EXPECT_EQ(board_.Counts().memory_writes, 1u);
}

TEST_F(DeviceFilesTest, LatencyIsPaidOnEveryTransferAndNowhereElse) {
  files_.Latency(Micros{1000});
  const Micros start = clock_.Now();
  const FileHandle read = MustOpen(kReadOpen);
  std::vector<std::uint8_t> buffer(33);
  (void)files_.Read(read, buffer);
  (void)files_.Read(read, buffer);
  files_.Close(read);
  EXPECT_EQ(clock_.Now() - start, Micros{2000});
  const FileHandle write = MustOpen(kWriteOpen);
  (void)files_.Write(write, MemoryWritePacket(0x40, 1));
  (void)files_.Flush(write);
  files_.Close(write);
  EXPECT_EQ(clock_.Now() - start, Micros{3000});
}

TEST_F(DeviceFilesTest, TheOpenHookRunsBeforeEveryOpenIsJudged) {
  int calls = 0;
  files_.SetOpenHook([&](const std::string& path, const OpenParameters& params) {
    ++calls;
    EXPECT_EQ(path, kPath);
    if (calls == 2) {
      EXPECT_EQ(params, kWriteOpen);
      files_.Detach();
    }
  });
  files_.Close(MustOpen(kReadOpen));
  EXPECT_FALSE(files_.Open(kPath, kWriteOpen));
  EXPECT_EQ(calls, 2);
}

TEST_F(DeviceFilesTest, TheLogIsOffUntilEnabledAndKeepsTheLatestEntries) {
  files_.Close(MustOpen(kReadOpen));
  EXPECT_TRUE(files_.Log().empty());

  files_.EnableLog(3);
  const FileHandle file = MustOpen(kWriteOpen);
  EXPECT_FALSE(files_.Open(kPath, kReadOpen));
  (void)files_.Write(file, MemoryWritePacket(0x40, 1));
  (void)files_.Flush(file);
  files_.Close(file);
  ASSERT_EQ(files_.Log().size(), 3u);
  EXPECT_EQ(files_.Log()[0].kind, FileEvent::kWrite);
  EXPECT_EQ(files_.Log()[0].params, kWriteOpen);
  EXPECT_EQ(files_.Log()[0].bytes, (std::vector<std::uint8_t>{0x00, 0x04, 0x03, 0x40, 1, 0x00}));
  EXPECT_EQ(files_.Log()[1].kind, FileEvent::kFlush);
  EXPECT_EQ(files_.Log()[2].kind, FileEvent::kClose);
  EXPECT_EQ(files_.Log()[2].path, kPath);
}

TEST_F(DeviceFilesTest, TheLogRecordsWhatAReadDelivered) {
  files_.EnableLog();
  files_.ShortReads(FaultSpan::Once(), 4);
  const FileHandle file = MustOpen(kReadOpen);
  std::vector<std::uint8_t> buffer(33);
  (void)files_.Read(file, buffer);
  files_.Close(file);
  ASSERT_EQ(files_.Log().size(), 3u);
  EXPECT_EQ(files_.Log()[0].kind, FileEvent::kOpen);
  EXPECT_EQ(files_.Log()[1].kind, FileEvent::kRead);
  EXPECT_EQ(files_.Log()[1].bytes.size(), 4u);
}

}  // namespace
}  // namespace korimo::sim
