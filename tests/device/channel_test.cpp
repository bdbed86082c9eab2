#include <gtest/gtest.h>

#include <numeric>

#include "config/memory_map.h"
#include "device/modStream.h"
#include "support/fake_ports.h"

namespace korimo {
namespace {

using testing::Bytes;
using testing::FakeFiles;
using testing::ScriptedPump;
using Kind = FakeFiles::Kind;

std::vector<Kind> Kinds(const FakeFiles& files) {
  std::vector<Kind> kinds;
  for (const auto& call : files.calls) {
    kinds.push_back(call.kind);
  }
  return kinds;
}

Bytes Sequence(std::size_t n) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  }
  return bytes;
}

class ChannelTest : public ::testing::Test {
 protected:
  FakeFiles files;
  ScriptedPump pump;
  modStream stream{files, pump};
};

TEST_F(ChannelTest, ReadOpensExclusivelyReadsOnceAndCloses) {
  files.status = [] {
    StatusPacket p{};
    p[5] = 0x12;
    return p;
  };
  StatusPacket buffer{};
  EXPECT_TRUE(stream.ReadPacket(files.device_path, buffer));
  EXPECT_EQ(Kinds(files), (std::vector{Kind::kOpen, Kind::kRead, Kind::kClose}));
  EXPECT_EQ(files.calls[0].params, kReadOpen);
  EXPECT_EQ(kReadOpen, (OpenParameters{0xC0000000u, 0u, 4u, 0x80u}));
  EXPECT_EQ(buffer[5], 0x12);
}

// Only a packet that arrived whole is an answer; every handle is closed.
struct ReadFault {
  const char* name;
  bool empty_path;
  bool open_fails;
  bool read_fails;
  std::optional<std::size_t> delivered;
  std::vector<Kind> calls;
};

TEST_F(ChannelTest, AReadThatDidNotArriveWholeIsNoAnswer) {
  const std::vector<ReadFault> faults{
      {"empty path", true, false, false, {}, {}},
      {"failed open", false, true, false, {}, {Kind::kOpenFailed}},
      {"failed read", false, false, true, {}, {Kind::kOpen, Kind::kRead, Kind::kClose}},
      {"short read", false, false, false, 32, {Kind::kOpen, Kind::kRead, Kind::kClose}},
      {"nothing read", false, false, false, 0, {Kind::kOpen, Kind::kRead, Kind::kClose}},
  };
  for (const ReadFault& fault : faults) {
    FakeFiles faulty;
    faulty.can_open = [&](const std::string&, const OpenParameters&) { return !fault.open_fails; };
    faulty.reads_fail = fault.read_fails;
    faulty.read_limit = fault.delivered;
    modStream channel{faulty, pump};
    StatusPacket buffer{};
    EXPECT_FALSE(channel.ReadPacket(fault.empty_path ? "" : faulty.device_path, buffer))
        << fault.name;
    EXPECT_EQ(Kinds(faulty), fault.calls) << fault.name;
  }
}

// Opens, writes, flushes and closes for packets of every size class.
struct WriteShape {
  std::size_t size;
  std::size_t opens;
  std::vector<std::size_t> chunks;
};

class ChannelWriteShape : public ChannelTest, public ::testing::WithParamInterface<WriteShape> {};

TEST_P(ChannelWriteShape, ProbeThenOneFreshHandlePerChunk) {
  const WriteShape shape = GetParam();
  const Bytes packet = Sequence(shape.size);
  EXPECT_TRUE(stream.WritePacket(files.device_path, packet));

  EXPECT_EQ(files.Count(Kind::kOpen), shape.opens);
  EXPECT_EQ(files.Count(Kind::kClose), shape.opens);
  EXPECT_EQ(files.Count(Kind::kFlush), shape.chunks.size());
  EXPECT_EQ(pump.turns, 0);
  for (const auto& call : files.calls) {
    if (call.kind == Kind::kOpen) {
      EXPECT_EQ(call.params, kWriteOpen);
    }
  }
  // Probe: open and close with nothing in between.
  ASSERT_GE(files.calls.size(), 2u);
  EXPECT_EQ(files.calls[0].kind, Kind::kOpen);
  EXPECT_EQ(files.calls[1].kind, Kind::kClose);

  const std::vector<Bytes> written = files.Written();
  ASSERT_EQ(written.size(), shape.chunks.size());
  Bytes joined;
  for (std::size_t k = 0; k < written.size(); ++k) {
    EXPECT_EQ(written[k].size(), shape.chunks[k]);
    joined.insert(joined.end(), written[k].begin(), written[k].end());
  }
  EXPECT_EQ(joined, packet);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChannelWriteShape,
                         ::testing::Values(WriteShape{6, 2, {6}}, WriteShape{34, 2, {34}},
                                           WriteShape{999, 2, {999}}, WriteShape{1000, 2, {1000}},
                                           WriteShape{2000, 3, {1000, 1000}},
                                           WriteShape{2500, 4, {1000, 1000, 500}}));

TEST_F(ChannelTest, EmptyPathDropsTheWholePacket) {
  EXPECT_FALSE(stream.WritePacket("", Sequence(34)));
  EXPECT_EQ(Kinds(files), std::vector{Kind::kOpenFailed});
  EXPECT_EQ(pump.turns, 0);
}

TEST_F(ChannelTest, BoardGoneAfterTheProbeCostsTheChunkAndOneEventTurn) {
  int opens = 0;
  files.can_open = [&](const std::string&, const OpenParameters&) { return ++opens == 1; };
  EXPECT_FALSE(stream.WritePacket(files.device_path, Sequence(6)));
  EXPECT_EQ(Kinds(files), (std::vector{Kind::kOpen, Kind::kClose, Kind::kOpenFailed}));
  EXPECT_EQ(pump.turns, 1);
}

TEST_F(ChannelTest, FailedChunkIsNotRetriedAndTheRestStillGoes) {
  int opens = 0;
  // Probe ok, first chunk's open fails, second chunk and remainder go through.
  files.can_open = [&](const std::string&, const OpenParameters&) { return ++opens != 2; };
  const Bytes packet = Sequence(2500);
  EXPECT_FALSE(stream.WritePacket(files.device_path, packet));  // one chunk lost
  const std::vector<Bytes> written = files.Written();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0], Bytes(packet.begin() + 1000, packet.begin() + 2000));
  EXPECT_EQ(written[1], Bytes(packet.begin() + 2000, packet.end()));
  EXPECT_EQ(pump.turns, 1);
}

TEST_F(ChannelTest, FailedWriteClosesWithoutFlushAndYieldsOnce) {
  files.writes_fail = true;
  EXPECT_FALSE(stream.WritePacket(files.device_path, Sequence(6)));
  EXPECT_EQ(Kinds(files),
            (std::vector{Kind::kOpen, Kind::kClose, Kind::kOpen, Kind::kWrite, Kind::kClose}));
  EXPECT_EQ(pump.turns, 1);
}

TEST_F(ChannelTest, FailedFlushIsNotDeliveredAndChangesNoTraffic) {
  files.flushes_fail = true;
  EXPECT_FALSE(stream.WritePacket(files.device_path, Sequence(6)));
  EXPECT_EQ(Kinds(files), (std::vector{Kind::kOpen, Kind::kClose, Kind::kOpen, Kind::kWrite,
                                       Kind::kFlush, Kind::kClose}));
  EXPECT_EQ(pump.turns, 0);
}

TEST(ByteOfTest, SingleIsStoredLeastSignificantByteFirst) {
  const auto bytes = [](float v) {
    return Bytes{memory::ByteOf(v, 0), memory::ByteOf(v, 1), memory::ByteOf(v, 2),
                 memory::ByteOf(v, 3)};
  };
  EXPECT_EQ(bytes(0.025f), (Bytes{0xCD, 0xCC, 0xCC, 0x3C}));
  EXPECT_EQ(bytes(0.01f), (Bytes{0x0A, 0xD7, 0x23, 0x3C}));
  EXPECT_EQ(bytes(0.08f), (Bytes{0x0A, 0xD7, 0xA3, 0x3D}));
  EXPECT_EQ(bytes(0.001f), (Bytes{0x6F, 0x12, 0x83, 0x3A}));
  EXPECT_EQ(bytes(8000.0f), (Bytes{0x00, 0x00, 0xFA, 0x45}));
  EXPECT_EQ(bytes(0.5f), (Bytes{0x00, 0x00, 0x00, 0x3F}));
  EXPECT_EQ(memory::ByteOf(1.0f, 4), 0);
  EXPECT_EQ(memory::ByteOf(1.0f, -1), 0);
}

}  // namespace
}  // namespace korimo
