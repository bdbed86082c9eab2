#include <gtest/gtest.h>

#include "device/modKT90.h"
#include "device/registry_finder.h"
#include "support/fake_ports.h"

namespace korimo {
namespace {

using testing::Bytes;
using testing::BytesOf;
using testing::DwordBytes;
using testing::FakeCatalogue;
using testing::FakeFiles;
using testing::ScriptedPump;
using testing::StatusWith;
using Kind = FakeFiles::Kind;

// A board that is plugged in: its interface is in the catalogue and its path
// opens. The status reads are scripted per test.
class CommandSetTest : public ::testing::Test {
 protected:
  void SetUp() override { Plug(); }

  void Plug() {
    const std::string instance =
        std::string(kDeviceClassesKey) + "\\{usb}\\##?#USB#Vid_7e21&Pid_0065#1#{usb}";
    registry.SetValue(instance + "\\#\\Control", "Linked", DwordBytes(1));
    std::string link = files.device_path;
    link.push_back('\0');
    registry.SetValue(instance + "\\#", "SymbolicLink", BytesOf(link));
  }

  // Busy for the next `reads` status reads, then idle.
  void BusyFor(int reads) {
    files.status = [this, reads]() mutable {
      ++status_reads;
      return StatusWith(reads-- > 0 ? 0x80 : 0x00);
    };
  }

  FakeCatalogue registry;
  FakeFiles files;
  ScriptedPump pump;
  RegistryFinder finder{registry};
  modKT90 kt{finder, files, pump};
  int status_reads = 0;
};

TEST_F(CommandSetTest, ConnectionSetsAndClearsDevicePath) {
  EXPECT_EQ(kt.DevicePath(), "");
  EXPECT_TRUE(kt.IsDeviceConnected());
  EXPECT_EQ(kt.DevicePath(), files.device_path);
  EXPECT_TRUE(files.calls.empty()) << "presence is a registry question only";

  FakeCatalogue empty;
  empty.AddKey(std::string(kDeviceClassesKey));
  RegistryFinder nowhere(empty);
  modKT90 other(nowhere, files, pump);
  EXPECT_FALSE(other.IsDeviceConnected());
  EXPECT_EQ(other.DevicePath(), "");
}

TEST_F(CommandSetTest, BusyFlagIsBit7OfByte1) {
  kt.IsDeviceConnected();
  files.status = [] { return StatusWith(0x80); };
  EXPECT_EQ(kt.IsControllerBusy(), BusyState::kBusy);
  files.status = [] { return StatusWith(0x7F); };
  EXPECT_EQ(kt.IsControllerBusy(), BusyState::kIdle);
  files.status = [] { return StatusWith(0xFF); };
  EXPECT_EQ(kt.IsControllerBusy(), BusyState::kBusy);
}

TEST_F(CommandSetTest, WordsAreUnsignedHighByteFirstEachFromItsOwnRead) {
  kt.IsDeviceConnected();
  files.status = [] {
    StatusPacket p{};
    p[5] = 0x12, p[6] = 0x34;    // serial 4660
    p[7] = 2;                    // KX3
    p[12] = 0x1F, p[13] = 0x40;  // Z speed 8000
    p[14] = 0x10, p[15] = 0x9A;  // max Z 4250
    p[16] = 0x5D, p[17] = 0xC0;  // max X 24000
    p[18] = 0x2E, p[19] = 0xE0;  // max Y 12000
    p[20] = 0xC3, p[21] = 0x50;  // raster 50000
    p[22] = 0x27, p[23] = 0x10;  // vector 10000
    p[24] = 0x9C, p[25] = 0x40;  // X 40000
    p[26] = 0xFF, p[27] = 0xFF;  // Y 65535
    p[28] = 0x00, p[29] = 0x05;  // Z 5
    return p;
  };
  EXPECT_EQ(kt.GetSerialNumber(), 4660);
  EXPECT_EQ(kt.GetModelCode(), 2);
  EXPECT_EQ(kt.GetZSpeed(), 8000);
  EXPECT_EQ(kt.GetMaxZ(), 4250);
  EXPECT_EQ(kt.GetMaxX(), 24000);
  EXPECT_EQ(kt.GetMaxY(), 12000);
  EXPECT_EQ(kt.GetRasterSpeed(), 50000);
  EXPECT_EQ(kt.GetVectorSpeed(), 10000);
  EXPECT_EQ(kt.GetPositionX(), 40000);
  EXPECT_EQ(kt.GetPositionY(), 65535);
  EXPECT_EQ(kt.GetPositionZ(), 5);
  EXPECT_EQ(files.Count(Kind::kRead), 11u);
  EXPECT_EQ(files.Count(Kind::kOpen), 11u);
  EXPECT_EQ(files.Count(Kind::kClose), 11u);
}

TEST_F(CommandSetTest, OffsetsOutsideThePacketGiveNoValue) {
  kt.IsDeviceConnected();
  files.status = [] {
    StatusPacket p{};
    p.fill(0xEE);
    return p;
  };
  EXPECT_EQ(kt.GetStatusByte(32), 0xEE);
  EXPECT_EQ(kt.GetStatusByte(33), std::nullopt);
  EXPECT_EQ(kt.GetStatusWord(31), 0xEEEE);
  EXPECT_EQ(kt.GetStatusWord(32), std::nullopt);
}

TEST_F(CommandSetTest, PacketsAreByteExact) {
  EXPECT_EQ(MemoryWritePacket(0xE0, 0x00), (std::array<std::uint8_t, 6>{0, 4, 3, 0xE0, 0, 0}));
  const auto home = HomePacket();
  EXPECT_EQ(Bytes(home.begin(), home.begin() + 6), (Bytes{0x00, 0x20, 0x01, 0x00, 0x10, 0x00}));
  EXPECT_TRUE(std::all_of(home.begin() + 6, home.end(), [](auto b) { return b == 0; }));
  const auto read = MemoryReadPacket(0x5F);
  EXPECT_EQ(Bytes(read.begin(), read.begin() + 6), (Bytes{0x00, 0x20, 0x03, 0xFF, 0x00, 0x5F}));
  EXPECT_TRUE(std::all_of(read.begin() + 6, read.end(), [](auto b) { return b == 0; }));
}

TEST_F(CommandSetTest, HomeIsSentAtOnceEvenWhileBusy) {
  kt.IsDeviceConnected();
  files.status = [] { return StatusWith(0x80); };
  kt.HomeXY();
  EXPECT_EQ(files.Count(Kind::kRead), 0u);
  ASSERT_EQ(files.Written().size(), 1u);
  EXPECT_EQ(files.Written()[0].size(), 34u);
  EXPECT_EQ(pump.turns, 0);
}

TEST_F(CommandSetTest, WriteWaitsWithEventsFirstThenStatusUntilIdle) {
  kt.IsDeviceConnected();
  BusyFor(3);
  std::vector<std::string> order;
  pump.action = [&](int) { order.push_back("events"); };
  files.status = [&, left = 3]() mutable {
    order.push_back("status");
    return StatusWith(left-- > 0 ? 0x80 : 0x00);
  };
  EXPECT_TRUE(kt.WriteEEPromByte(5, 0x12));
  EXPECT_EQ(order, (std::vector<std::string>{"events", "status", "events", "status", "events",
                                             "status", "events", "status"}));
  EXPECT_EQ(files.Written(), std::vector<Bytes>{(Bytes{0x00, 0x04, 0x03, 0x05, 0x12, 0x00})});
}

TEST_F(CommandSetTest, StatusTickInTheMiddleOfAWaitIsACompleteTransaction) {
  kt.IsDeviceConnected();
  BusyFor(2);
  std::size_t open_handles_seen_by_tick = 99;
  pump.action = [&](int) {
    // A status tick: a presence check and a read of its own.
    open_handles_seen_by_tick = files.Count(Kind::kOpen) - files.Count(Kind::kClose);
    EXPECT_TRUE(kt.IsDeviceConnected());
    kt.GetStatusByte(2);
  };
  kt.WriteEEPromByte(0x20, 0xFF);
  EXPECT_EQ(open_handles_seen_by_tick, 0u);
  EXPECT_EQ(files.Written().size(), 1u);
  EXPECT_EQ(files.Count(Kind::kOpen), files.Count(Kind::kClose));
}

TEST_F(CommandSetTest, ReadRequestWaitsTwiceAndReturnsByte4) {
  kt.IsDeviceConnected();
  files.status = [] {
    StatusPacket p{};
    p[4] = 0x5A;
    return p;
  };
  EXPECT_EQ(kt.ReadEEPromByte(0x5F), 0x5A);
  // wait (1 read), request (probe + data), wait (1 read), reply (1 read)
  EXPECT_EQ(files.Count(Kind::kRead), 3u);
  EXPECT_EQ(pump.turns, 2);
  ASSERT_EQ(files.Written().size(), 1u);
  EXPECT_EQ(files.Written()[0][5], 0x5F);
}

TEST_F(CommandSetTest, AnEmptyPathIsNoAnswerAndSendsNothing) {
  // DevicePath stays empty: no tick has found the board.
  EXPECT_EQ(kt.ReadEEPromByte(0x20), std::nullopt);
  EXPECT_EQ(kt.GetMaxX(), std::nullopt);
  EXPECT_EQ(kt.IsControllerBusy(), BusyState::kNoAnswer);
  EXPECT_FALSE(kt.WriteEEPromByte(0x20, 1));
  EXPECT_TRUE(files.calls.empty()) << "nothing is opened, nothing sent";
  EXPECT_FALSE(kt.WaitGaveUp());
}

// A query asks again while the packet does not arrive whole, with a turn of
// the events between two tries, and never more than kStatusTries times.
TEST_F(CommandSetTest, AQueryTriesAFixedNumberOfTimesAndNeverYieldsAZeroForNoAnswer) {
  struct Case {
    int failing_reads;
    bool in_use;
    std::optional<std::int32_t> serial;
    std::size_t reads;
    std::string_view reason;
  };
  const std::vector<Case> cases{
      {0, false, 4660, 1, ""},
      {1, false, 4660, 2, ""},
      {kStatusTries - 1, false, 4660, kStatusTries, ""},
      {kStatusTries, false, std::nullopt, kStatusTries, ""},
      {kStatusTries, true, std::nullopt, kStatusTries, kEngraverInUse},
  };
  for (const Case& c : cases) {
    FakeFiles board;
    ScriptedPump events;
    modKT90 link{finder, board, events};
    link.IsDeviceConnected();
    // A refused open or a short read for the first `failing_reads` tries.
    int left = c.failing_reads;
    board.opens_refused_in_use = c.in_use;
    board.can_open = [&](const std::string& path, const OpenParameters&) {
      return path == board.device_path && !(c.in_use && left-- > 0);
    };
    board.status = [&] {
      board.read_limit = !c.in_use && left-- > 0 ? std::optional<std::size_t>(32) : std::nullopt;
      StatusPacket p{};
      p[5] = 0x12, p[6] = 0x34;
      return p;
    };
    EXPECT_EQ(link.GetSerialNumber(), c.serial) << c.failing_reads;
    EXPECT_EQ(board.Count(Kind::kOpen) + board.Count(Kind::kOpenFailed), c.reads);
    EXPECT_EQ(events.turns, static_cast<int>(c.reads) - 1) << "one pause between two tries";
    EXPECT_EQ(link.NoAnswerReason(), c.reason);
  }
}

TEST_F(CommandSetTest, FormatEEPromRowReadsAscendingAndNeverWraps) {
  kt.IsDeviceConnected();
  files.status = [] {
    StatusPacket p{};
    p[4] = 0x01;
    return p;
  };
  const std::string row = kt.FormatEEPromRow(0x20, 0x27).value_or("");
  EXPECT_EQ(row, "0x20: 0x01 0x01 0x01 0x01 0x01 0x01 0x01 0x01");
  EXPECT_EQ(row.size(), 45u);
  const std::vector<Bytes> requests = files.Written();
  ASSERT_EQ(requests.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(requests[i][5], 0x20 + i);
  }

  EXPECT_EQ(kt.FormatEEPromRow(0x30, 0x2F), "0x30:");
  EXPECT_EQ(kt.FormatEEPromRow(0xFE, 0xFF), "0xFE: 0x01 0x01");
}

TEST(HexByteTest, TwoUpperCaseDigits) {
  EXPECT_EQ(HexByte(0x00), "0x00");
  EXPECT_EQ(HexByte(0x0A), "0x0A");
  EXPECT_EQ(HexByte(0xA0), "0xA0");
  EXPECT_EQ(HexByte(0xFF), "0xFF");
  EXPECT_EQ(HexByte(171), "0xAB");
}

TEST_F(CommandSetTest, WaitLimitGivesUpAndSendsNothing) {
  kt.IsDeviceConnected();
  files.status = [] { return StatusWith(0x80); };
  int polls = 0;
  kt.SetWaitLimit([&] { return ++polls >= 5; });
  EXPECT_FALSE(kt.WriteEEPromByte(7, 1));
  EXPECT_TRUE(kt.WaitGaveUp());
  EXPECT_TRUE(files.Written().empty());
  EXPECT_EQ(polls, 5);
  EXPECT_EQ(kt.ReadEEPromByte(7), std::nullopt);
  kt.ClearWaitGaveUp();
  EXPECT_FALSE(kt.WaitGaveUp());
}

}  // namespace
}  // namespace korimo
