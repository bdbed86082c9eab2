// Several engravers on one PC, production runs and their log: korimo-cli
// in-process against three simulated engravers, with the waits stepped by a
// scripted pacer.
#include "cli/workshop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/cli.h"
#include "sim/platform.h"
#include "tests/cli/cli_fixture.h"
#include "tests/cli/scripted_pacer.h"
#include "tests/support/sim_engraver.h"

namespace korimo::cli {
namespace {

class WorkshopTest : public ::testing::Test {
 protected:
  WorkshopTest() {
    platform_.AddEngraver();
    platform_.AddEngraver();
    log_ =
        std::filesystem::temp_directory_path() /
        ("korimo-provision-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".csv");
    std::filesystem::remove(log_);
  }
  ~WorkshopTest() override { std::filesystem::remove(log_); }

  int Run(std::vector<std::string> args) {
    std::istringstream in;
    out_.str("");
    err_.str("");
    const PortsProvider ports = [this](bool, std::ostream&) -> std::optional<platform::Ports> {
      return platform::Registry(platform_.GetCatalogue(), platform_.AllFiles());
    };
    return RunCli(args, {in, out_, err_, terminal_}, ports, pacer_);
  }

  std::string Path(std::size_t index) const { return platform_.DevicePath(index); }
  std::uint32_t Writes(std::size_t index) {
    return platform_.GetBoard(index).Counts().memory_writes;
  }
  std::uint16_t Serial(std::size_t index) {
    return static_cast<std::uint16_t>(platform_.GetBoard(index).Cell(5) * 256 +
                                      platform_.GetBoard(index).Cell(6));
  }
  std::string LogText() const {
    std::ifstream file(log_);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  void WriteLog(const std::string& text) { std::ofstream(log_, std::ios::binary) << text; }
  std::string LogLineOf(std::size_t index, int serial, bool stored, int differed = 0,
                        bool claim = false) {
    return FormatLogLine({"2026-12-08T00:00:00Z", Path(index), static_cast<std::uint16_t>(serial),
                          "KX3", stored, static_cast<std::uint32_t>(differed), claim});
  }
  std::string ClaimOf(std::size_t index, int serial) {
    return LogLineOf(index, serial, false, 0, true);
  }
  std::vector<std::string> Provision(std::vector<std::string> more = {}) {
    std::vector<std::string> args{"provision", "--model", "kx3", "--log", log_.string()};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }

  sim::ManualClock clock_;
  sim::SimPlatform platform_{clock_, korimo::testing::InstantBoard(true, 9)};
  ScriptedPacer pacer_;
  bool terminal_ = false;
  std::filesystem::path log_;
  TestHistoryFolder history_folder_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(WorkshopTest, ListShowsEveryEngraverAndWhyOneCannotBeUsed) {
  platform_.GetBoard(2).SetCell(6, 0x35);
  platform_.GetFiles(1).FailOpens(sim::FaultSpan::ForGood(), sim::OpenKind::kRead);
  EXPECT_EQ(Run({"list"}), kExitOk);
  EXPECT_EQ(out_.str(), "1  " + Path(0) + "  serial 04660, model 1 (Korimo KX2)\n2  " + Path(1) +
                            "  The engraver at " + Path(1) +
                            " cannot be opened: another program has it open, or it was just "
                            "unplugged.\n3  " +
                            Path(2) + "  serial 04661, model 1 (Korimo KX2)\n");
  EXPECT_EQ(Run({"list", "--json", "--device", "3"}), kExitOk);
  // Only engravers that can be used count among several.
  platform_.Unplug(2);
  EXPECT_EQ(Run({"eeprom", "write", "33", "7"}), kExitOk) << err_.str();
  EXPECT_EQ(Writes(0), 1u);
  platform_.Plug(2);
  EXPECT_EQ(Run({"list", "--json", "--device", "3"}), kExitOk);
  EXPECT_EQ(out_.str(), "[{\"index\": 3, \"path\": \"\\\\\\\\?\\\\" + Path(2).substr(4) +
                            "\", \"serial_number\": 4661, \"model_code\": 1, \"model\": \"Korimo "
                            "KX2\"}]\n");
  // A status that does not arrive whole is a trouble, never a serial number of 0.
  platform_.GetFiles(2).ShortReads(sim::FaultSpan::ForGood(), 16);
  EXPECT_EQ(Run({"list", "--device", "3"}), kExitOk);
  EXPECT_EQ(out_.str(), "3  " + Path(2) + "  The engraver at " + Path(2) +
                            " did not answer its status read.\n");
}

// A command that writes refuses among several engravers before touching any;
// --device (index, path in any case) picks one; a command that reads takes the
// first and says so.
TEST_F(WorkshopTest, DeviceChoosesAndWritingCommandsRefuseWithoutIt) {
  struct Case {
    std::vector<std::string> device;
    int exit_code;
    std::vector<std::uint32_t> writes;
  };
  std::string upper = Path(1);
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  const std::vector<Case> cases{
      {{}, kExitSeveral, {0, 0, 0}},
      {{"--device", "3"}, kExitOk, {0, 0, 1}},
      {{"--device", upper}, kExitOk, {0, 1, 1}},
      {{"--device", "4"}, kExitNoEngraver, {0, 1, 1}},
  };
  for (const Case& test : cases) {
    std::vector<std::string> args{"eeprom", "write", "33", "7"};
    args.insert(args.end(), test.device.begin(), test.device.end());
    EXPECT_EQ(Run(args), test.exit_code) << err_.str();
    EXPECT_EQ((std::vector{Writes(0), Writes(1), Writes(2)}), test.writes) << err_.str();
  }
  EXPECT_EQ(Run({"eeprom", "write", "33", "7"}), kExitSeveral);
  EXPECT_EQ(err_.str(), "Several engravers are connected (1 " + Path(0) + ", 2 " + Path(1) +
                            ", 3 " + Path(2) +
                            "); give --device PATH or INDEX to choose the one to change. Nothing "
                            "was written.\n");
  EXPECT_EQ(Run({"find"}), kExitOk);
  EXPECT_EQ(out_.str(), Path(0) + "\n");
  EXPECT_EQ(err_.str(), "Several engravers are connected; using " + Path(0) +
                            " (give --device to choose another).\n");
}

// Arrival, a board unplugged in the middle of its Set, the replug, a board
// that already has a serial number, then Ctrl+C while waiting.
TEST_F(WorkshopTest, ProvisionSetsEachArrivalAndLogsIt) {
  for (std::size_t i = 0; i < 3; ++i) {
    platform_.Unplug(i);
  }
  platform_.GetBoard(2).SetCell(5, 0x03);  // serial number 0x0334 = 820
  int write_opens = 0;
  pacer_.steps = {
      [&] { platform_.Plug(0); },
      [&] { platform_.Unplug(0); },
      [&] {
        platform_.GetFiles(1).SetOpenHook([&](const std::string&, const OpenParameters& params) {
          if (params == kWriteOpen && ++write_opens == 40) {
            platform_.Unplug(1);
          }
        });
        platform_.Plug(1);
      },
      [&] {
        platform_.GetFiles(1).SetOpenHook({});
        platform_.Plug(1);
      },
      [&] { platform_.Unplug(1); },
      [&] { platform_.Plug(2); },
  };
  EXPECT_EQ(Run(Provision({"--serials", "100-200", "--verify"})), kExitSomeFailed) << err_.str();
  EXPECT_TRUE(pacer_.caught);
  EXPECT_EQ(out_.str(),
            "Stored serial number 00100 (Korimo KX3) on " + Path(0) +
                " and verified its 78 cells; unplug it.\nStored serial number 00102 (Korimo KX3) "
                "on " +
                Path(1) +
                " and verified its 78 cells; unplug it.\nProvision ended (stopped by Ctrl+C): 2 "
                "done, 1 failed, 1 left as they were; serial numbers used: 00100 to 00102.\n");
  EXPECT_EQ(err_.str(), "The engraver at " + Path(1) +
                            " was lost during the Set; serial number 00101 is recorded as failed "
                            "and never issued again.\nThe engraver at " +
                            Path(2) +
                            " already carries serial number 00820; it is left as it is (give "
                            "--overwrite-serial to replace it). Unplug it.\n");
  // Every number is claimed before its Set; the one lost mid-Set is not reissued.
  EXPECT_EQ(LogText(), std::string(kLogHeader) + "\n" + ClaimOf(0, 100) + LogLineOf(0, 100, true) +
                           ClaimOf(1, 101) + LogLineOf(1, 101, false, 78) + ClaimOf(1, 102) +
                           LogLineOf(1, 102, true));
  EXPECT_EQ(Serial(0), 100);
  EXPECT_EQ(Serial(1), 102);
  EXPECT_EQ(platform_.GetBoard(1).Cell(7), 2);
  EXPECT_EQ(Writes(2), 0u);
}

// Whether a board that does not answer its status read carries a serial number
// of its own is not known: nothing is written to it and no serial is used.
TEST_F(WorkshopTest, ProvisionWritesNothingToABoardThatDoesNotAnswer) {
  platform_.Unplug(1);
  platform_.Unplug(2);
  platform_.GetFiles(0).ShortReads(sim::FaultSpan::ForGood(), 16);
  pacer_.steps = {[&] { platform_.Unplug(0); }};
  EXPECT_EQ(Run(Provision({"--serials", "100-200"})), kExitInterrupted) << err_.str();
  EXPECT_EQ(err_.str(), "The engraver at " + Path(0) +
                            " did not answer when its serial number was read; it is left as it "
                            "is. Unplug it and plug it in again.\n");
  EXPECT_EQ(Writes(0), 0u);
  EXPECT_EQ(LogText(), "");
}

// A new run goes on after the highest serial stored, never writes one that the
// log shows as stored (another station may share it), and Ctrl+C during a Set
// lets the Set and its log line finish.
TEST_F(WorkshopTest, ProvisionResumesFromTheLog) {
  platform_.Unplug(1);
  platform_.Unplug(2);
  WriteLog(std::string(kLogHeader) + "\n" + LogLineOf(1, 100, true) + LogLineOf(1, 102, true) +
           LogLineOf(1, 103, false, 3));
  const std::string before = LogText();
  EXPECT_EQ(Run(Provision({"--serials", "90-102"})), kExitRefused);
  EXPECT_EQ(err_.str(),
            "The serial numbers 00090-00102 are used up: the log shows 00102 as stored (line 3). "
            "Nothing was written.\n");
  EXPECT_EQ(Run(Provision({"--serials", "90-105", "--device", "9"})), kExitInterrupted);
  EXPECT_EQ(Writes(0), 0u);
  pacer_.stop = false;

  platform_.Unplug(0);
  pacer_.steps = {[&] {
    std::ofstream(log_, std::ios::app) << LogLineOf(2, 103, true);  // another station's board
    platform_.Plug(0);
  }};
  platform_.GetFiles(0).SetOpenHook([&](const std::string&, const OpenParameters& params) {
    pacer_.stop = pacer_.stop || params == kWriteOpen;  // Ctrl+C as the Set begins
  });
  EXPECT_EQ(Run(Provision({"--serials", "90-105"})), kExitInterrupted);
  EXPECT_EQ(err_.str(), "");
  EXPECT_EQ(Serial(0), 104);
  EXPECT_TRUE(LogText().ends_with(LogLineOf(0, 104, true)));
  EXPECT_TRUE(LogText().starts_with(before));
  EXPECT_NE(out_.str().find("serial numbers used: 00104."), std::string::npos);

  platform_.GetFiles(0).SetOpenHook({});
  pacer_.stop = false;
  platform_.Unplug(0);
  pacer_.steps = {[&] { platform_.Plug(0); }, [&] { platform_.Unplug(0); }};
  terminal_ = true;
  EXPECT_EQ(Run(Provision({"--serials", "90-105", "--overwrite-serial"})), kExitOk);
  EXPECT_EQ(Serial(0), 105);
  EXPECT_TRUE(err_.str().starts_with(
      "\rWaiting for an engraver to be plugged in (serial number 00105 is next)   "))
      << err_.str();
  EXPECT_NE(err_.str().find("\rUnplug the engraver at " + Path(0) + ".   "), std::string::npos);
  EXPECT_NE(out_.str().find("(the serial numbers 00090-00105 are used up)"), std::string::npos);
}

// The report reads and writes nothing to any engraver; with several it uses
// the first and says so in the report.
TEST_F(WorkshopTest, ReportForSupportWritesToNoEngraver) {
  platform_.GetFiles(1).FailOpens(sim::FaultSpan::ForGood());
  const std::filesystem::path report = log_.string() + ".txt";
  ASSERT_EQ(Run({"report", report.string()}), kExitOk) << err_.str();
  EXPECT_EQ(Writes(0) + Writes(1) + Writes(2), 0u);
  const std::string text = [&] {
    std::ifstream file(report);  // closed again before the file is removed
    return std::string(std::istreambuf_iterator<char>(file), {});
  }();
  for (const std::string& part : std::vector<std::string>{
           "Korimo support report\nProgram: korimo-cli ", "\nEngravers found:\n1  " + Path(0),
           "\n2  " + Path(1) + "  The engraver at " + Path(1) + " cannot be opened",
           "Several engravers are connected; using " + Path(0),
           "Status packet: 00 00 00 00 FF 12 34 01 ", "  serial number 04660; model code 1",
           "\n00: FF FF FF FF FF 12 34 01 ",
           "\nF0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\n"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  EXPECT_EQ(Run({"report", report.string()}), kExitRefused);
  EXPECT_NE(err_.str().find("exists; give --force to replace it."), std::string::npos);
  std::filesystem::remove(report);
}

TEST(ProvisionLog, LinesReadBackAndDamageIsRefusedWithItsLine) {
  const std::string header = std::string(kLogHeader) + "\n";
  const std::string quoted = FormatLogLine({"t", "a,\"b\"", 7, "KX2", true, 0});
  EXPECT_EQ(quoted, "t,\"a,\"\"b\"\"\",00007,KX2,stored,0\n");
  const ProvisionLog log =
      ParseLog(header + quoted + "t,p,00009,KX2,failed,78\r\nt,p,65535,KX3,stored,0\n");
  EXPECT_EQ(log.error, "");
  EXPECT_EQ(log.StoredAt(7), std::optional<std::size_t>(2));
  EXPECT_EQ(log.StoredAt(9), std::nullopt);
  EXPECT_TRUE(log.OnlyFailed(9));
  EXPECT_FALSE(log.OnlyFailed(7));
  EXPECT_EQ(log.StoredAt(65535), std::optional<std::size_t>(4));

  const std::vector<std::pair<std::string, std::string>> refused{
      {"time,path\n", "line 1: this is not a provision log"},
      {header + "t,p,00001,KX2,stored,0", "line 2: the line has no line end"},
      {header + "t,p,00001,KX2,stored\n", "line 2: expected six comma-separated fields"},
      {header + "t,\"p,00001,KX2,stored,0\n", "line 2: expected six"},
      {header + quoted + "t,p,65536,KX2,stored,0\n", "line 3: the serial number \"65536\""},
      {header + "t,p,-1,KX2,stored,0\n", "line 2: the serial number"},
      {header + "t,p,1,KX2,done,0\n", "line 2: the result \"done\""},
      {header + "t,p,1,KX2,stored,x\n", "line 2: the count of cells"},
  };
  for (const auto& [text, error] : refused) {
    const ProvisionLog damaged = ParseLog(text);
    EXPECT_TRUE(damaged.error.starts_with(error)) << damaged.error;
    EXPECT_TRUE(damaged.stored.empty());
  }
  EXPECT_TRUE(ParseLog("").error.empty());
  EXPECT_TRUE(IsPlaceholderSerial(0) && IsPlaceholderSerial(4660) && IsPlaceholderSerial(65535));
  EXPECT_FALSE(IsPlaceholderSerial(1) || IsPlaceholderSerial(4661));
}

}  // namespace
}  // namespace korimo::cli
