// The device link end to end through the real registry and file calls: the
// search, a full Set, a Read and memory reads, byte for byte, and korimo-cli.exe
// itself against the same board.
#include <iostream>

#include "config/memory_map.h"
#include "config/set_plan.h"
#include "device/modStream.h"
#include "device/registry_finder.h"
#include "engraver_fixture.h"
#include "run_program.h"

// After the project headers: <windows.h> defines macros named like some of
// their constants.
#include "win32/windows_api.h"

namespace korimo::win32test {

std::string UniquePipeName() {
  static int count = 0;
  return "\\\\.\\pipe\\korimo-board-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++count);
}

namespace {

Bytes WritePacketOf(std::uint8_t address, std::uint8_t value) {
  const auto packet = MemoryWritePacket(address, value);
  return Bytes(packet.begin(), packet.end());
}

std::vector<Bytes> PacketsOf(const SetPlan& plan) {
  std::vector<Bytes> packets;
  for (const SetWrite& write : plan.writes) {
    packets.push_back(WritePacketOf(write.address, write.value));
  }
  return packets;
}

TEST_F(EngraverTest, TheSearchFindsTheLiveEngraverPastEveryTrap) {
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DevicePath(), board_.Path());

  // With the live one gone, the next active engraver in the registry's order.
  ASSERT_TRUE(scratch_.SetDword(catalogue_.live_instance + "\\#\\Control", "Linked", 0));
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DevicePath(), catalogue_.second_path);

  ASSERT_TRUE(scratch_.SetDword(catalogue_.second_instance + "\\#\\Control", "Linked", 0));
  EXPECT_FALSE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DevicePath(), "");
}

TEST_F(EngraverTest, OneWriteIsAProbeThenADataConnection) {
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  kt90_.WriteEEPromByte(0x30, 0x55);
  Settle();
  const PipeCounts counts = board_.Counts();
  EXPECT_EQ(counts.connections, 4u);  // busy poll, probe, data, settling read
  EXPECT_EQ(counts.probes, 1u);
  EXPECT_EQ(counts.packets, 1u);
  EXPECT_EQ(counts.status_reads, 2u);
  EXPECT_EQ(board_.Received(), std::vector<Bytes>{WritePacketOf(0x30, 0x55)});
  EXPECT_EQ(board_.WithBoard([](sim::Board& board) { return board.Cell(0x30); }), 0x55);
}

TEST_F(EngraverTest, AFullSetReachesTheBoardByteForByte) {
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  board_.WithBoard([](sim::Board& board) { board.SetCell(91, 0xA7); });
  const SetFieldTexts texts{"4660", {"24000", "12000", "4250", "50000", "10000", "8000"}};
  const SetPlan plan = PlanSet(texts, memory::kModelKX3);
  ASSERT_EQ(plan.writes.size(), kSetWriteCount);
  for (const SetWrite& write : plan.writes) {
    kt90_.WriteEEPromByte(write.address, write.value);
  }
  Settle();

  EXPECT_EQ(board_.Received(), PacketsOf(plan));
  const PipeCounts counts = board_.Counts();
  EXPECT_EQ(counts.probes, kSetWriteCount);
  EXPECT_GE(counts.status_reads, kSetWriteCount);
  board_.WithBoard([](sim::Board& board) {
    EXPECT_EQ(board.Cell(5), 0x12);
    EXPECT_EQ(board.Cell(6), 0x34);
    EXPECT_EQ(board.Cell(7), memory::kModelKX3);
    EXPECT_EQ(board.Cell(16), 0x5D);
    EXPECT_EQ(board.Cell(17), 0xC0);
    EXPECT_EQ(board.Cell(72), 0x00);
    EXPECT_EQ(board.Cell(75), 0x3F);
    EXPECT_EQ(board.Cell(91), 0xA7);  // Set leaves 91 alone
    EXPECT_EQ(board.Cell(95), 0x5A);
  });
}

TEST_F(EngraverTest, AReadTakesEachValueFromTheStatusPacket) {
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  board_.WithBoard([](sim::Board& board) {
    board.SetCell(5, 0xBE);  // serial 48879
    board.SetCell(6, 0xEF);
    board.SetCell(7, 2);
    board.SetCell(14, 0x10);  // 4250
    board.SetCell(15, 0x9A);
    board.SetCell(20, 0xC3);  // 50000
    board.SetCell(21, 0x50);
    board.SetInputs(0x45);
    board.SetPosition(sim::Axis::kX, 40000);
  });
  EXPECT_EQ(kt90_.GetSerialNumber(), 48879);
  EXPECT_EQ(kt90_.GetModelCode(), 2);
  EXPECT_EQ(kt90_.GetMaxX(), 16000);
  EXPECT_EQ(kt90_.GetMaxY(), 12000);
  EXPECT_EQ(kt90_.GetMaxZ(), 4250);
  EXPECT_EQ(kt90_.GetRasterSpeed(), 50000);
  EXPECT_EQ(kt90_.GetVectorSpeed(), 10000);
  EXPECT_EQ(kt90_.GetZSpeed(), 8000);
  EXPECT_EQ(kt90_.GetStatusByte(status::kInputs), 0x45);
  EXPECT_EQ(kt90_.GetPositionX(), 40000);
  EXPECT_TRUE(board_.Received().empty());

  // The whole packet, as the board sent it.
  modStream stream(files_, pump_);
  StatusPacket packet{};
  EXPECT_TRUE(stream.ReadPacket(kt90_.DevicePath(), packet));
  const auto sent = board_.WithBoard([](sim::Board& board) { return board.Status(); });
  EXPECT_TRUE(std::equal(packet.begin(), packet.end(), sent.begin()));
}

TEST_F(EngraverTest, MemoryReadsAskForEachByteAndTakeTheAnswer) {
  ASSERT_TRUE(kt90_.IsDeviceConnected());
  board_.WithBoard([](sim::Board& board) {
    for (std::uint8_t address = 0x20; address < 0x28; ++address) {
      board.SetCell(address, static_cast<std::uint8_t>(address * 3));
    }
  });
  EXPECT_EQ(kt90_.FormatEEPromRow(0x20, 0x27), "0x20: 0x60 0x63 0x66 0x69 0x6C 0x6F 0x72 0x75");
  std::vector<Bytes> requests;
  for (std::uint8_t address = 0x20; address < 0x28; ++address) {
    const auto packet = MemoryReadPacket(address);
    requests.emplace_back(packet.begin(), packet.end());
  }
  EXPECT_EQ(board_.Received(), requests);
}

class CliProgramTest : public EngraverTest {
 protected:
  ProgramResult Cli(const std::string& arguments, const std::string& input = "") {
    const std::optional<ProgramResult> result =
        RunProgram("\"" + BesideThisProgram("korimo-cli.exe") + "\" " + arguments, input);
    EXPECT_TRUE(result.has_value()) << "korimo-cli.exe did not start";
    return result.value_or(ProgramResult{});
  }
};

TEST_F(CliProgramTest, FindPrintsThePathOrExitsThree) {
  const ProgramResult found = Cli("find");
  EXPECT_EQ(found.exit_code, 0u) << found.err;
  EXPECT_EQ(found.out, board_.Path() + "\n");

  ASSERT_TRUE(scratch_.SetDword(catalogue_.live_instance + "\\#\\Control", "Linked", 0));
  ASSERT_TRUE(scratch_.SetDword(catalogue_.second_instance + "\\#\\Control", "Linked", 0));
  const ProgramResult missing = Cli("find");
  EXPECT_EQ(missing.exit_code, 3u);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("No engraver found"), std::string::npos) << missing.err;
}

TEST_F(CliProgramTest, SetAndReadAgainstTheBoard) {
  const ProgramResult set = Cli("set --model KX2 --serial 1234 --no-history");
  EXPECT_EQ(set.exit_code, 0u) << set.err;
  std::cout << "[ timing   ] korimo-cli set against the pipe board: " << set.milliseconds
            << " ms wall time\n";
  Settle();
  const SetFieldTexts texts{"1234", {"16000", "12000", "4250", "50000", "10000", "8000"}};
  EXPECT_EQ(board_.Received(), PacketsOf(PlanSet(texts, memory::kModelKX2)));

  const ProgramResult read = Cli("read");
  EXPECT_EQ(read.exit_code, 0u) << read.err;
  EXPECT_EQ(read.out,
            "Serial number                 01234\n"
            "Model code                    1 (Korimo KX2)\n"
            "Maximum X travel (0.001 in)   16000\n"
            "Maximum Y travel (0.001 in)   12000\n"
            "Maximum Z travel (0.001 in)   04250\n"
            "Raster speed (0.001 in/sec)   50000\n"
            "Vector speed (0.001 in/sec)   10000\n"
            "Z speed (0.001 in/sec)        08000\n");

  const ProgramResult json = Cli("read --json");
  EXPECT_EQ(json.exit_code, 0u);
  EXPECT_NE(json.out.find("\"serial_number\": 1234, \"model_code\": 1"), std::string::npos)
      << json.out;
}

TEST_F(CliProgramTest, TraceShowsTheWireAndRefusalsSendNothing) {
  const ProgramResult traced = Cli("--trace eeprom write 5 18");
  EXPECT_EQ(traced.exit_code, 0u) << traced.err;
  EXPECT_TRUE(traced.err.starts_with("< 00 00 ")) << traced.err;  // an idle board
  EXPECT_TRUE(traced.err.ends_with("> 00 04 03 05 12 00\n")) << traced.err;

  board_.ResetLog();
  EXPECT_EQ(Cli("eeprom write 0x20 1").exit_code, 2u);
  EXPECT_EQ(Cli("eeprom write 64 1").exit_code, 2u);
  EXPECT_EQ(Cli("set --model KX2 --serial 65536").exit_code, 2u);
  EXPECT_EQ(Cli("frobnicate").exit_code, 1u);
  EXPECT_EQ(board_.Counts().connections, 0u);
}

TEST_F(CliProgramTest, AStuckBoardEndsInExitFour) {
  board_.WithBoard([](sim::Board& board) { board.SetStuckBusy(true); });
  const ProgramResult stuck = Cli("--timeout 0.3 eeprom write 32 1");
  EXPECT_EQ(stuck.exit_code, 4u);
  EXPECT_NE(stuck.err.find("stayed busy for more than 0.3 s"), std::string::npos) << stuck.err;
  EXPECT_TRUE(board_.Received().empty());
}

TEST_F(CliProgramTest, TheSimulatedEngraverWorksOnWindowsToo) {
  const ProgramResult set = Cli("--sim set --model KX3 --serial 42");
  EXPECT_EQ(set.exit_code, 0u) << set.err;
  EXPECT_NE(set.out.find("Serial number                 00042"), std::string::npos);
  EXPECT_EQ(board_.Counts().connections, 0u);
}

// Two boards behind two registered interfaces: list shows every active one by
// the walk's rules, a command that writes needs --device, and the windows'
// walk still takes the first.
TEST_F(CliProgramTest, TwoBoardsAreListedAndAWriteNeedsTheDevice) {
  PipeBoard second(catalogue_.second_path, QuickBoard());
  ASSERT_TRUE(second.Start()) << "cannot create the pipe " << second.Path();
  second.WithBoard([](sim::Board& board) { board.SetCell(6, 0x35); });
  const ProgramResult list = Cli("list");
  EXPECT_EQ(list.exit_code, 0u) << list.err;
  EXPECT_EQ(list.out, "1  (no path)  " + std::string(kNoLinkTrouble) +
                          "\n2  \\\\.\\pipe\\korimo-unreached  The engraver at "
                          "\\\\.\\pipe\\korimo-unreached cannot be opened: another program "
                          "has it open, or it was just unplugged.\n3  " +
                          board_.Path() + "  serial 04660, model 1 (Korimo KX2)\n4  " +
                          second.Path() + "  serial 04661, model 1 (Korimo KX2)\n");

  Settle();
  board_.ResetLog();
  second.ResetLog();
  const ProgramResult refused = Cli("eeprom write 33 7");
  EXPECT_EQ(refused.exit_code, 7u);
  EXPECT_NE(refused.err.find("(3 " + board_.Path() + ", 4 " + second.Path() + ")"),
            std::string::npos)
      << refused.err;
  const ProgramResult chosen = Cli("eeprom write 33 7 --device 4 --no-history");
  EXPECT_EQ(chosen.exit_code, 0u) << chosen.err;
  EXPECT_TRUE(second.WaitUntilQuiet());
  EXPECT_EQ(second.Received(), std::vector<Bytes>{WritePacketOf(33, 7)});
  EXPECT_TRUE(board_.Received().empty());

  ASSERT_TRUE(kt90_.IsDeviceConnected());
  EXPECT_EQ(kt90_.DevicePath(), board_.Path());
}

}  // namespace
}  // namespace korimo::win32test
