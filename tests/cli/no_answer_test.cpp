// A status packet that does not arrive whole, once or on every try of a
// query, under read, backup, diff, a verification and a busy wait.
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "config/set_plan.h"
#include "device/modKT90.h"
#include "tests/cli/cli_fixture.h"

namespace korimo::cli {
namespace {

using sim::FaultSpan;

enum class Fault { kFailedOpen, kFailedRead, kShortRead };

struct Operation {
  const char* name;
  std::vector<std::string> args;
  std::uint32_t strike_at;  // the status read (from 0) at which the fault strikes
  int exit_when_unanswered;
  std::string unanswered;  // in the sentence on stderr then
};

class NoAnswerTest : public CliTest {
 protected:
  NoAnswerTest() {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("korimo-no-answer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder_);
  }
  ~NoAnswerTest() override { std::filesystem::remove_all(folder_); }

  // From the `at`-th status read on, `fault` strikes `times` reads.
  void Arm(Fault fault, std::uint32_t at, FaultSpan times) {
    files().SetOpenHook([this, fault, at, times, reads = 0u](const std::string&,
                                                             const OpenParameters& params) mutable {
      if (params != kReadOpen || reads++ != at) {
        return;
      }
      switch (fault) {
        case Fault::kFailedOpen:
          files().FailOpens(times, sim::OpenKind::kRead);
          break;
        case Fault::kFailedRead:
          files().FailReads(times);
          break;
        case Fault::kShortRead:
          files().ShortReads(times, 16);
          break;
      }
    });
  }

  std::string Text(const std::string& path) const {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
  }

  std::filesystem::path folder_;
};

TEST_F(NoAnswerTest, AValueThatDidNotArriveWholeIsNeverTakenForOne) {
  const std::string older = (folder_ / "older.txt").string();
  const std::string truth = (folder_ / "truth.txt").string();
  ASSERT_EQ(Run({"--sim", "backup", truth}), kExitOk) << Err();
  board().SetCell(0x13, 0x20);
  ASSERT_EQ(Run({"--sim", "backup", "--force", truth}), kExitOk) << Err();

  // Each memory read is a wait, the request, a wait and the reply: cell 0x13's
  // reply is status read 0x13 * 3 + 2. A Set of a model polls once per write.
  const std::vector<Operation> operations{
      {"read", {"read"}, 4, kExitNoAnswer, "the raster speed"},
      {"backup", {"backup", "--force", older}, 0x13 * 3 + 2, kExitNoAnswer, "cell 0x13"},
      {"diff", {"diff", truth}, 0x13 * 3 + 2, kExitNoAnswer, "cell 0x13"},
      {"verify",
       {"set", "--model", "KX2", "--serial", "4660", "--verify", "--no-history"},
       static_cast<std::uint32_t>(kSetWriteCount + 2),
       kExitNoAnswer,
       "could not be read back"},
      {"busy wait",
       {"eeprom", "write", "32", "17", "--no-history"},
       0,
       kExitCutShort,
       "did not reach"},
      {"history copy",
       {"clear-id", "--yes"},
       0x13 * 3 + 2,
       kExitNoAnswer,
       "cell 0x13 could not be read; no history copy could be kept, so nothing was written"},
  };
  const std::vector<std::pair<Fault, const char*>> faults{
      {Fault::kFailedOpen, "failed open"},
      {Fault::kFailedRead, "failed read"},
      {Fault::kShortRead, "short read"},
  };
  for (const Operation& operation : operations) {
    for (const auto& [fault, fault_name] : faults) {
      for (const bool every_try : {false, true}) {
        const std::string label = std::string(operation.name) + ", " + fault_name +
                                  (every_try ? " on every try" : " once");
        const bool busy_wait = operation.args[0] == std::string("eeprom");
        if (busy_wait) {
          board().SetCell(0x20, 0x00);
        }
        std::ofstream(older, std::ios::binary) << "older";
        files().ClearFaults();
        Arm(fault, operation.strike_at,
            every_try ? FaultSpan::Times(kStatusTries) : FaultSpan::Once());
        files().ClearLog();
        std::vector<std::string> args{"--sim"};
        args.insert(args.end(), operation.args.begin(), operation.args.end());
        const int code = Run(args);
        files().SetOpenHook(nullptr);

        if (!every_try) {
          // Asked again, the engraver answered: all is as on a clean line.
          EXPECT_EQ(code, kExitOk) << label << ": " << Err();
          EXPECT_EQ(Err(), "") << label;
          continue;
        }
        EXPECT_EQ(code, operation.exit_when_unanswered) << label << ": " << Out() << Err();
        EXPECT_NE(Err().find(operation.unanswered), std::string::npos) << label << ": " << Err();
        const std::string err = Err();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'),
                  operation.args[0] == std::string("set") ? 2 : 1)
            << label << ": " << err;
        if (operation.args[0] == std::string("read") || operation.args[0] == std::string("diff")) {
          EXPECT_EQ(Out(), "") << label << ": nothing read is shown, no difference listed";
        }
        if (operation.args[0] == std::string("backup")) {
          EXPECT_EQ(Text(older), "older") << label << ": the older backup stays as it was";
        }
        if (busy_wait) {
          EXPECT_TRUE(Written().empty()) << label << ": no whole packet said idle";
          EXPECT_EQ(board().Cell(0x20), 0x00) << label;
        }
      }
    }
  }
}

TEST_F(NoAnswerTest, AReadRequestThatWasNotDeliveredHasNoAnswer) {
  // The reply to an undelivered request would be the previous cell's: 0x12's
  // 0x5A where 0x13 holds 0x20.
  board().SetCell(0x12, 0x5A);
  board().SetCell(0x13, 0x20);
  const std::string backup = (folder_ / "request.txt").string();
  for (const bool failed_open : {true, false}) {
    const std::string label = failed_open ? "failed open" : "failed write";
    files().ClearFaults();
    // Each memory read sends one request: a probe open, then the open it is written on.
    files().SetOpenHook(
        [this, failed_open, writes = 0u](const std::string&, const OpenParameters& params) mutable {
          if (params == kWriteOpen && writes++ == 0x13 * 2 + (failed_open ? 0 : 1)) {
            failed_open ? files().FailOpens(FaultSpan::Once(), sim::OpenKind::kWrite)
                        : files().FailWrites(FaultSpan::Once());
          }
        });
    EXPECT_EQ(Run({"--sim", "backup", "--force", backup}), kExitNoAnswer) << label << ": " << Err();
    files().SetOpenHook(nullptr);
    EXPECT_NE(Err().find("cell 0x13"), std::string::npos) << label << ": " << Err();
    EXPECT_FALSE(std::filesystem::exists(backup)) << label;
  }
}

}  // namespace
}  // namespace korimo::cli
