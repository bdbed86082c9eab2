// The channel's transactions as the device file sees them: how many opens,
// writes, flushes and closes each packet size costs, and what a board that
// goes away in the middle of a transaction does to them.
#include <gtest/gtest.h>

#include <numeric>
#include <ostream>
#include <vector>

#include "sim_fixture.h"

namespace korimo::sim {
namespace {

struct Transaction {
  std::size_t size;
  std::uint32_t opens;
  std::uint32_t writes;
};

void PrintTo(const Transaction& transaction, std::ostream* out) {
  *out << transaction.size << " bytes";
}

class ChannelCountsTest : public SimEngraverTest,
                          public ::testing::WithParamInterface<Transaction> {};

TEST_P(ChannelCountsTest, AWriteCostsAProbeAndOneOpenPerChunk) {
  const Transaction expected = GetParam();
  std::vector<std::uint8_t> packet(expected.size);
  std::iota(packet.begin(), packet.end(), std::uint8_t{0});
  files().ResetCounts();
  files().EnableLog();
  const int turns = pump_.turns;

  kt90_.SendPacket(packet);

  const FileCounts& counts = files().Counts();
  EXPECT_EQ(counts.opens, expected.opens);
  EXPECT_EQ(counts.failed_opens, 0u);
  EXPECT_EQ(counts.writes, expected.writes);
  EXPECT_EQ(counts.flushes, expected.writes);
  EXPECT_EQ(counts.closes, expected.opens);
  EXPECT_EQ(counts.reads, 0u);
  EXPECT_EQ(counts.open_handles, 0u);
  EXPECT_EQ(pump_.turns, turns) << "a write that goes through never yields";

  // The chunks, in order, put back together, are the packet.
  std::vector<std::uint8_t> sent;
  for (const FileLogEntry& entry : files().Log()) {
    if (entry.kind == FileEvent::kOpen || entry.kind == FileEvent::kOpenFailed) {
      EXPECT_EQ(entry.params, kWriteOpen);
    }
    if (entry.kind == FileEvent::kWrite) {
      EXPECT_LE(entry.bytes.size(), 1000u);
      sent.insert(sent.end(), entry.bytes.begin(), entry.bytes.end());
    }
  }
  EXPECT_EQ(sent, packet);
}

INSTANTIATE_TEST_SUITE_P(PacketSizes, ChannelCountsTest,
                         ::testing::Values(Transaction{6, 2, 1}, Transaction{34, 2, 1},
                                           Transaction{999, 2, 1}, Transaction{1000, 2, 1},
                                           Transaction{2000, 3, 2}, Transaction{2500, 4, 3}),
                         [](const auto& row) { return std::to_string(row.param.size); });

using ChannelTest = SimEngraverTest;

TEST_F(ChannelTest, The2500BytePacketGoesOutAt0And1000And2000) {
  files().EnableLog();
  kt90_.SendPacket(std::vector<std::uint8_t>(2500, 0x5A));
  std::vector<std::size_t> sizes;
  for (const FileLogEntry& entry : files().Log()) {
    if (entry.kind == FileEvent::kWrite) {
      sizes.push_back(entry.bytes.size());
    }
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{1000, 1000, 500}));
  EXPECT_EQ(board().Counts().unknown, 3u) << "no command is that long";
}

TEST_F(ChannelTest, AStatusReadIsOneExclusiveOpenAndOneRead) {
  files().ResetCounts();
  files().EnableLog();
  (void)kt90_.GetMaxX();
  const FileCounts& counts = files().Counts();
  EXPECT_EQ(counts.opens, 1u);
  EXPECT_EQ(counts.reads, 1u);
  EXPECT_EQ(counts.closes, 1u);
  EXPECT_EQ(counts.writes, 0u);
  ASSERT_FALSE(files().Log().empty());
  EXPECT_EQ(files().Log().front().params, kReadOpen);
}

TEST_F(ChannelTest, AMemoryWriteIsOneStatusReadAndOneWriteTransaction) {
  files().ResetCounts();
  kt90_.WriteEEPromByte(0x30, 0x01);
  const FileCounts& counts = files().Counts();
  EXPECT_EQ(counts.opens, 3u);
  EXPECT_EQ(counts.reads, 1u);
  EXPECT_EQ(counts.writes, 1u);
  EXPECT_EQ(counts.flushes, 1u);
  EXPECT_EQ(counts.closes, 3u);
}

TEST_F(ChannelTest, AnUnplugBetweenProbeAndDataOpenDropsThePacketAfterOneTurn) {
  int opens = 0;
  files().SetOpenHook([&](const std::string&, const OpenParameters&) {
    if (++opens == 2) {
      platform_.Unplug();
    }
  });
  const int turns = pump_.turns;
  kt90_.SendPacket(MemoryWritePacket(0x30, 0x01));
  EXPECT_EQ(pump_.turns - turns, 1);
  EXPECT_EQ(board().Counts().memory_writes, 0u);
  EXPECT_EQ(files().Counts().failed_opens, 1u);
  EXPECT_EQ(files().Counts().open_handles, 0u);
}

TEST_F(ChannelTest, AFailedProbeDropsTheWholePacketWithoutATurn) {
  files().FailOpens(FaultSpan::Once(), OpenKind::kWrite);
  const int turns = pump_.turns;
  kt90_.SendPacket(std::vector<std::uint8_t>(2500, 0));
  EXPECT_EQ(pump_.turns, turns);
  EXPECT_EQ(files().Counts().writes, 0u);
}

TEST_F(ChannelTest, AFailedChunkCostsThatChunkOnlyAndOneTurn) {
  files().EnableLog();
  files().FailWrites(FaultSpan::Once());
  std::vector<std::uint8_t> packet(2500);
  std::iota(packet.begin(), packet.end(), std::uint8_t{0});
  const int turns = pump_.turns;
  kt90_.SendPacket(packet);
  EXPECT_EQ(pump_.turns - turns, 1);
  EXPECT_EQ(files().Counts().writes, 3u);
  EXPECT_EQ(files().Counts().flushes, 2u);
  EXPECT_EQ(files().Counts().open_handles, 0u);
  EXPECT_EQ(board().Counts().unknown, 2u) << "the first chunk never reached the board";
}

TEST_F(ChannelTest, AFailedChunkOpenCostsThatChunkOnly) {
  int opens = 0;
  files().SetOpenHook([&](const std::string&, const OpenParameters&) {
    if (++opens == 3) {
      files().FailOpens(FaultSpan::Once());
    }
  });
  const int turns = pump_.turns;
  kt90_.SendPacket(std::vector<std::uint8_t>(2500, 0));
  EXPECT_EQ(pump_.turns - turns, 1);
  EXPECT_EQ(files().Counts().writes, 2u);
  EXPECT_EQ(files().Counts().failed_opens, 1u);
}

}  // namespace
}  // namespace korimo::sim
