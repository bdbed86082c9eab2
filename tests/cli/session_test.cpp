// What every command shares: the command line, the trace and the wait limit.
#include <regex>

#include "cli/command_line.h"
#include "cli/entries.h"
#include "cli_fixture.h"
#include "korimo/version.h"
#include "scripted_pacer.h"

namespace korimo::cli {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    lines.push_back(line);
  }
  return lines;
}

TEST_F(CliTest, TraceShowsEveryPacketOnTheErrorStream) {
  EXPECT_EQ(Run({"--sim", "--trace", "clear-id", "--yes", "--no-history"}), kExitOk);
  // One busy poll, then the write.
  const std::vector<std::string> lines = Lines(Err());
  ASSERT_EQ(lines.size(), 2u) << Err();
  EXPECT_EQ(lines[0],
            "< 00 00 00 00 00 12 34 01 FF FF FF FF 1F 40 10 9A 3E 80 2E E0 C3 50 27 10 00 00 "
            "00 00 00 00 00 00 00");
  EXPECT_EQ(lines[1], "> 00 04 03 E0 00 00");
  EXPECT_EQ(Out(), "The USB identity reset was sent.\n");
}

TEST_F(CliTest, TraceLinesHaveTheWireFormat) {
  EXPECT_EQ(Run({"--sim", "--trace", "eeprom", "write", "5", "18", "--no-history"}), kExitOk);
  const std::regex read_line("< ([0-9A-F]{2} ){32}[0-9A-F]{2}");
  const std::vector<std::string> lines = Lines(Err());
  ASSERT_FALSE(lines.empty());
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[i], read_line)) << lines[i];
  }
  EXPECT_EQ(lines.back(), "> 00 04 03 05 12 00");
}

TEST_F(CliTest, TraceShowsAFailedOpenWithItsPath) {
  files().FailOpens(sim::FaultSpan::ForGood());
  EXPECT_EQ(Run({"--sim", "--trace", "positions"}), kExitNoAnswer);
  const std::string failed = "! " + platform_.DevicePath();
  // Every try of the X position, then the sentence; nothing is shown as a zero.
  EXPECT_EQ(Lines(Err()),
            (std::vector<std::string>{failed, failed, failed,
                                      "The engraver did not answer: the X position could not be "
                                      "read; nothing is shown."}));
  EXPECT_EQ(Out(), "");
}

TEST_F(CliTest, WithoutTraceTheErrorStreamStaysQuiet) {
  EXPECT_EQ(Run({"--sim", "eeprom", "dump"}), kExitOk);
  EXPECT_EQ(Err(), "");
}

TEST_F(CliTest, AStuckControllerGivesUpAfterTheTimeoutWithExitFour) {
  board().SetStuckBusy(true);
  EXPECT_EQ(Run({"--sim", "--timeout", "0.05", "eeprom", "write", "32", "1", "--no-history"}),
            kExitTimedOut);
  EXPECT_EQ(Err(), "The engraver stayed busy for more than 0.05 s; nothing was written.\n");
  EXPECT_EQ(board().Counts().memory_writes, 0u);
  EXPECT_TRUE(Written().empty());

  EXPECT_EQ(
      Run({"--sim", "--timeout=0.02", "set", "--model", "KX2", "--serial", "1", "--no-history"}),
      kExitTimedOut);
  EXPECT_EQ(Err(),
            "The engraver stayed busy for more than 0.02 s; the Set stopped after 0 of 79 "
            "writes.\n");
  EXPECT_EQ(Run({"--sim", "--timeout", "0.02", "eeprom", "dump"}), kExitTimedOut);
  EXPECT_EQ(Out(), "");
  EXPECT_TRUE(Written().empty());
}

// The limit holds for each wait, not for the whole command: a Set whose waits
// together take far longer than the limit still ends. Time is the simulated
// engraver's: every transfer lets 1 ms pass, every write keeps it busy 5 ms.
TEST(CliWaitLimit, TheLimitIsPerWait) {
  const TestHistoryFolder history;
  sim::PlatformOptions options;
  options.catalogue.classes = 3;
  options.catalogue.engraver_class = 1;
  options.timings.memory_write = sim::Micros{5000};
  sim::ManualClock clock;
  sim::SimPlatform platform(clock, options);
  platform.GetFiles().Latency(sim::Micros{1000});
  ScriptedPacer pacer;
  pacer.clock = [&clock] { return std::chrono::steady_clock::time_point(clock.Now()); };
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  const std::vector<std::string> args{"--timeout", "0.2", "set", "--model", "KX3", "--serial", "7"};
  const int result = RunCli(
      args, {in, out, err},
      [&](bool, std::ostream&) { return std::optional(korimo::platform::Simulated(platform)); },
      pacer);
  EXPECT_EQ(result, kExitOk) << err.str();
  EXPECT_EQ(platform.GetBoard().Counts().memory_writes, 79u);
  EXPECT_GT(clock.Now(), sim::Micros{400000});
}

TEST_F(CliTest, UsageErrorsExitOneAndTouchNothing) {
  const std::vector<std::vector<std::string>> lines{
      {},
      {"frobnicate"},
      {"eeprom"},
      {"eeprom", "erase"},
      {"read", "--verbose"},
      {"read", "--yes"},
      {"home", "--json"},
      {"read", "now"},
      {"eeprom", "write", "1"},
      {"eeprom", "write", "1", "2", "3"},
      {"read", "--timeout"},
      {"read", "--timeout", "0"},
      {"read", "--timeout", "ten"},
      {"read", "--sim", "--sim"},
      {"read", "--sim=yes"},
  };
  for (const std::vector<std::string>& line : lines) {
    EXPECT_EQ(Run(line), kExitUsage) << (line.empty() ? "(none)" : line[0]);
    EXPECT_FALSE(Err().empty());
    EXPECT_EQ(Out(), "");
  }
  EXPECT_FALSE(asked_for_sim_.has_value());
  EXPECT_TRUE(files().Log().empty());
}

TEST_F(CliTest, HelpListsEveryCommand) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  for (const char* name : {"find", "read [--json]", "set --model KX2|KX3 --serial N", "eeprom dump",
                           "eeprom write ADDR VALUE", "eeprom clear", "clear-id [--yes]", "home",
                           "inputs", "positions", "--trace", "--timeout S"}) {
    EXPECT_NE(Out().find(name), std::string::npos) << name;
  }
  EXPECT_EQ(Run({"set", "-h"}), kExitOk);
}

TEST_F(CliTest, VersionIsTheProjectVersionAndNeedsNoEngraver) {
  for (const std::vector<std::string>& line :
       std::vector<std::vector<std::string>>{{"--version"}, {"read", "--version"}}) {
    EXPECT_EQ(Run(line), kExitOk);
    EXPECT_EQ(Out(), std::string("korimo-cli ") + kVersion + "\n");
    EXPECT_EQ(Err(), "");
  }
  EXPECT_FALSE(asked_for_sim_.has_value());
  EXPECT_EQ(Run({"--version=2"}), kExitUsage);
}

TEST(CliCommandLine, OptionsStandAnywhereAndNegativeNumbersAreOperands) {
  const std::vector<std::string> args{"--trace", "eeprom", "--timeout=3", "write", "-5",
                                      "--sim",   "7"};
  const ParseResult parsed = ParseCommandLine(args);
  ASSERT_EQ(parsed.error, "");
  EXPECT_EQ(parsed.line.words, (std::vector<std::string>{"eeprom", "write", "-5", "7"}));
  EXPECT_TRUE(parsed.line.Has("--trace"));
  EXPECT_TRUE(parsed.line.Has("--sim"));
  EXPECT_EQ(parsed.line.Value("--timeout"), "3");
  EXPECT_EQ(parsed.line.Value("--model"), std::nullopt);
}

TEST(CliEntries, Timeouts) {
  EXPECT_EQ(TimeoutSeconds("10"), 10.0);
  EXPECT_EQ(TimeoutSeconds("&H2"), 2.0);
  EXPECT_EQ(TimeoutSeconds("0"), std::nullopt);
  EXPECT_EQ(TimeoutSeconds("-1"), std::nullopt);
  EXPECT_EQ(TimeoutSeconds("1e9"), std::nullopt);
}

}  // namespace
}  // namespace korimo::cli
