// The serial ledgers where they can break: provision runs in separate
// processes at once against one log and one database, a run killed between
// its claim and its result, the server stopped mid-run, and a table that is
// not the ledger's. The database is the throwaway PostgreSQL cluster of
// scripts/pg-cluster.sh.
#include "cli/ledger.h"

#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "cli/cli.h"
#include "cli/workshop.h"
#include "sim/platform.h"
#include "tests/cli/scripted_pacer.h"
#include "tests/support/sim_engraver.h"

namespace korimo::cli {
namespace {

std::string FileText(const std::filesystem::path& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The connection string of the test cluster, or empty when none runs.
std::string Database() {
  const char* file = std::getenv("KORIMO_TEST_LEDGER_FILE");
  std::string line;
  if (file != nullptr) {
    std::getline(std::ifstream(file), line);
  }
  return line;
}

void Cluster(const std::string& action) {
  ASSERT_EQ(std::system((std::string(KORIMO_PG_CLUSTER) + " " + action + " " +
                         std::getenv("KORIMO_TEST_LEDGER_FILE"))
                            .c_str()),
            0);
}

// Runs SQL on the test database; the first column of each row.
std::vector<std::string> Sql(const std::string& sql) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::string connection = Database();
  EXPECT_TRUE(
      SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connection.data()),
                                     SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  std::string text = sql;
  std::vector<std::string> rows;
  const SQLRETURN result = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  EXPECT_TRUE(SQL_SUCCEEDED(result) || result == SQL_NO_DATA) << sql;
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  while (columns > 0 && SQL_SUCCEEDED(SQLFetch(stmt))) {
    std::array<char, 256> cell{};
    SQLLEN length = 0;
    SQLGetData(stmt, 1, SQL_C_CHAR, cell.data(), cell.size(), &length);
    rows.emplace_back(length == SQL_NULL_DATA ? "NULL" : cell.data());
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return rows;
}

class LedgerTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      if (Database().empty()) {
        GTEST_SKIP() << "No PostgreSQL cluster runs for the tests (PostgreSQL or its ODBC driver "
                        "is not installed; scripts/pg-cluster.sh starts one).";
      }
      Sql("DROP TABLE IF EXISTS korimo_serials");
    }
    log_ = std::filesystem::temp_directory_path() /
           ("korimo-ledger-" + std::to_string(getpid()) + ".csv");
    std::filesystem::remove(log_);
  }
  void TearDown() override { std::filesystem::remove(log_); }

  // Provision on one simulated engraver, plugged in again for each of `boards`
  // boards, or as `steps` say; `hook` runs on each open for writing.
  int Provision(int boards, std::function<void()> hook = {}, std::string* err = nullptr,
                std::vector<std::function<void(sim::SimPlatform&)>> steps = {}) {
    sim::ManualClock clock;
    sim::SimPlatform platform{clock, korimo::testing::InstantBoard(true, 1)};
    ScriptedPacer pacer;
    for (int i = 1; i < boards; ++i) {
      steps.emplace_back([](sim::SimPlatform& sim) { sim.Unplug(0); });
      steps.emplace_back([](sim::SimPlatform& sim) { sim.Plug(0); });
    }
    steps.emplace_back([](sim::SimPlatform& sim) { sim.Unplug(0); });
    for (auto& step : steps) {
      pacer.steps.push_back([&platform, step] { step(platform); });
    }
    platform.GetFiles(0).SetOpenHook([&](const std::string&, const OpenParameters& params) {
      if (params == kWriteOpen && hook) {
        hook();
      }
    });
    std::vector<std::string> args{"provision", "--model",    "kx3",
                                  "--serials", "100-999",    "--overwrite-serial",
                                  "--log",     log_.string()};
    if (GetParam()) {
      args.insert(args.end(), {"--ledger", Database(), "--station", "test"});
    }
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream errors;
    const PortsProvider ports = [&](bool, std::ostream&) -> std::optional<platform::Ports> {
      return platform::Registry(platform.GetCatalogue(), platform.AllFiles());
    };
    const int code = RunCli(args, {in, out, errors, false}, ports, pacer);
    if (err != nullptr) {
      *err = errors.str();
    }
    return code;
  }

  // serial -> its states in the ledger, in order.
  std::map<int, std::string> States() {
    std::map<int, std::string> states;
    if (GetParam()) {
      for (const std::string& row : Sql("SELECT serial_number || ' ' || state FROM "
                                        "korimo_serials")) {
        states[std::stoi(row)] = row.substr(row.find(' ') + 1);
      }
      return states;
    }
    const ProvisionLog log = ParseLog(FileText(log_));
    EXPECT_EQ(log.error, "");
    for (const auto& [serial, line] : log.claimed) {
      states[serial] += "claimed";
    }
    for (const auto& [serial, line] : log.stored) {
      states[serial] += " stored";
    }
    for (const auto& [serial, line] : log.failed) {
      states[serial] += " failed";
    }
    return states;
  }

  std::filesystem::path log_;
};

// Eight stations at once, four boards each: every board its own number.
TEST_P(LedgerTest, RunsAtOnceNeverShareANumber) {
  constexpr int kStations = 8;
  constexpr int kBoards = 4;
  std::vector<pid_t> children;
  for (int i = 0; i < kStations; ++i) {
    const pid_t child = fork();
    if (child == 0) {
      _exit(Provision(kBoards) == kExitInterrupted ? 0 : 1);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::map<int, std::string> states = States();
  EXPECT_EQ(states.size(), std::size_t{kStations * kBoards});
  for (const auto& [serial, state] : states) {
    EXPECT_EQ(state, GetParam() ? "stored" : "claimed stored") << serial;
  }
}

// A run killed between its claim and its result: the number stays claimed and
// the next run takes the one after it.
TEST_P(LedgerTest, AKilledRunsNumberIsNeverReissued) {
  const pid_t child = fork();
  if (child == 0) {
    Provision(1, [] { _exit(0); });
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(States(), (std::map<int, std::string>{{100, "claimed"}}));
  EXPECT_EQ(Provision(1), kExitInterrupted);
  EXPECT_EQ(States(), (std::map<int, std::string>{
                          {100, "claimed"}, {101, GetParam() ? "stored" : "claimed stored"}}));
}

INSTANTIATE_TEST_SUITE_P(FileAndDatabase, LedgerTest, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Database" : "File"; });

class DatabaseLedgerTest : public LedgerTest {};

// The server stops during a Set: the board's serial is said and the run waits
// until its result is recorded; stopped when a board arrives, nothing is
// written to it and the run ends.
TEST_P(DatabaseLedgerTest, ServerStoppedMidRun) {
  std::string err;
  int opens = 0;
  EXPECT_EQ(Provision(0, [&] { opens += opens == 0 ? (Cluster("pause"), 1) : 1; }, &err,
                      {[](sim::SimPlatform&) { Cluster("resume"); },
                       [](sim::SimPlatform& sim) { sim.Unplug(0); },
                       [](sim::SimPlatform& sim) {
                         Cluster("pause");
                         sim.Plug(0);
                       }}),
            kExitRefused);
  const std::size_t set_opens = static_cast<std::size_t>(opens);
  EXPECT_NE(err.find("Serial number 00100 is stored on "), std::string::npos) << err;
  EXPECT_NE(err.find("(label the board with it), but its result cannot be recorded: "),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("The database cannot be reached: "), std::string::npos) << err;
  EXPECT_NE(err.find(" Nothing was written to the engraver at "), std::string::npos) << err;
  EXPECT_EQ(static_cast<std::size_t>(opens), set_opens);
  Cluster("resume");
  EXPECT_EQ(States(), (std::map<int, std::string>{{100, "stored"}}));
}

// A table that is not the ledger's, or holds rows no station writes, is
// refused with a sentence and left as it is.
TEST_P(DatabaseLedgerTest, ForeignOrDamagedTableIsRefused) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"CREATE TABLE korimo_serials (id INTEGER, name TEXT)",
       "The table korimo_serials in the database is not a serial ledger (its columns are id, "
       "name); it is left as it is.\n"},
      {std::string(kLedgerTableSql) + "; INSERT INTO korimo_serials VALUES (7, 't', 's', 'p', "
                                      "NULL, 'KX3', 'lost', NULL, 'now', NULL)",
       "The table korimo_serials is damaged: 1 of its rows hold a serial number outside 0 to "
       "65535, no claim token or a state other than claimed, stored or failed; it is left as it "
       "is.\n"},
  };
  for (const auto& [sql, sentence] : cases) {
    Sql("DROP TABLE IF EXISTS korimo_serials");
    Sql(sql);
    const std::vector<std::string> before = Sql("SELECT COUNT(*) FROM korimo_serials");
    std::string err;
    EXPECT_EQ(Provision(1, {}, &err), kExitRefused);
    EXPECT_EQ(err, sentence);
    EXPECT_EQ(Sql("SELECT COUNT(*) FROM korimo_serials"), before);
  }
}

// A board comes back carrying its number, and the look-up of that number is
// refused: the driver's words are said, and nothing is written to the board.
TEST_P(DatabaseLedgerTest, ARefusedLookUpSaysWhy) {
  std::string err;
  EXPECT_EQ(Provision(1, {}, &err,
                      {[](sim::SimPlatform& sim) { sim.Unplug(0); },
                       [](sim::SimPlatform& sim) {
                         Sql("ALTER TABLE korimo_serials RENAME COLUMN state TO phase");
                         sim.Plug(0);
                       }}),
            kExitRefused);
  EXPECT_NE(err.find("The database refused the look-up of serial number 00100: "),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("\"state\" does not exist"), std::string::npos) << err;
  EXPECT_NE(err.find(" Nothing was written to the engraver at "), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Database, DatabaseLedgerTest, ::testing::Values(true));

}  // namespace
}  // namespace korimo::cli
