// The history kept before every write, and undo.
#include "cli/history.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <thread>

#include "cli/entries.h"
#include "tests/cli/cli_fixture.h"

namespace korimo::cli {
namespace {

using Memory = std::array<std::uint8_t, 256>;

class HistoryTest : public CliTest {
 protected:
  Memory BoardCells() {
    Memory cells{};
    for (std::size_t i = 0; i < cells.size(); ++i) {
      cells[i] = board().Cell(static_cast<std::uint8_t>(i));
    }
    return cells;
  }
  std::size_t Entries() {
    std::error_code error;
    return ListHistory(history_.string(), std::nullopt, error).size();
  }
  // Whether a memory write (the 6-byte packet) reached the board.
  bool AnyMemoryWrite() {
    const std::vector<Bytes> written = Written();
    return std::any_of(written.begin(), written.end(),
                       [](const Bytes& b) { return b.size() == 6; });
  }
};

TEST_F(HistoryTest, ACopyThatCannotBeSavedLeavesTheBoardUntouched) {
  std::filesystem::create_directories(history_.parent_path());
  std::ofstream(history_) << "a file where the folder should be";
  const Memory before = BoardCells();
  const std::vector<std::vector<std::string>> commands{
      {"set", "--model", "KX3", "--serial", "4661"},
      {"eeprom", "write", "32", "1"},
      {"eeprom", "clear"},
      {"clear-id", "--yes"},
  };
  for (std::vector<std::string> args : commands) {
    args.insert(args.begin(), "--sim");
    files().ClearLog();
    EXPECT_EQ(Run(args), kExitRefused) << args[1];
    EXPECT_FALSE(AnyMemoryWrite()) << args[1];
    EXPECT_NE(Err().find("cannot be written, so nothing was written to the engraver"),
              std::string::npos)
        << Err();
    EXPECT_NE(Err().find(EchoPath(history_.string())), std::string::npos)
        << "the whole name: " << Err();
    const std::string err = Err();
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  EXPECT_EQ(BoardCells(), before);
  // --no-history writes without one.
  EXPECT_EQ(Run({"--sim", "eeprom", "write", "32", "1", "--no-history"}), kExitOk) << Err();
  EXPECT_EQ(board().Cell(32), 1);
}

TEST_F(HistoryTest, SetThenUndoGivesBackEveryCellAndAnUndoCanBeUndone) {
  board().SetCell(0x70, 0x5A);
  const Memory original = BoardCells();
  ASSERT_EQ(Run({"--sim", "set", "--model", "KX3", "--serial", "4661"}), kExitOk) << Err();
  const Memory after_set = BoardCells();
  ASSERT_NE(after_set, original);
  ASSERT_EQ(Entries(), 1u);

  ASSERT_EQ(Run({"--sim", "history"}), kExitOk) << Err();
  EXPECT_NE(Out().find("set           04660 -> 04661  1 (Korimo KX2)"), std::string::npos) << Out();

  ASSERT_EQ(Run({"--sim", "undo", "--dry-run"}), kExitOk) << Err();
  EXPECT_EQ(BoardCells(), after_set);
  EXPECT_EQ(Entries(), 1u) << "--dry-run keeps no copy";

  ASSERT_EQ(Run({"--sim", "undo"}), kExitOk) << Err();
  EXPECT_EQ(BoardCells(), original);
  EXPECT_NE(Out().find("Verified"), std::string::npos) << Out();
  ASSERT_EQ(Entries(), 2u);

  // The undo kept a copy of its own, now the newest of board 04660.
  ASSERT_EQ(Run({"--sim", "undo"}), kExitOk) << Err();
  EXPECT_EQ(BoardCells(), after_set);
  ASSERT_EQ(Run({"--sim", "history", "--all"}), kExitOk) << Err();
  EXPECT_EQ(Entries(), 3u);
}

TEST_F(HistoryTest, UndoChoosesOnlyTheBoardsOwnEntries) {
  ASSERT_EQ(Run({"--sim", "set", "--model", "KX3", "--serial", "4661"}), kExitOk) << Err();
  std::error_code error;
  const std::string name = ListHistory(history_.string(), std::nullopt, error).at(0).file_name;
  board().SetCell(0x06, 0x99);  // another board now
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"--sim", "undo"}, "holds no entry for the engraver with serial number 04761"},
      {{"--sim", "undo", "2"}, "has no entry \"2\""},
      {{"--sim", "undo", name}, "belongs to the board with serial number 04661"},
      {{"--sim", "undo", "x.backup"}, "has no entry \"x.backup\""},
  };
  for (const auto& [args, sentence] : cases) {
    EXPECT_EQ(Run(args), kExitRefused) << args.back();
    EXPECT_NE(Err().find(sentence), std::string::npos) << Err();
  }
}

TEST_F(HistoryTest, EachBoardKeepsItsNewestHundredOnceAWriteSucceeded) {
  Backup backup;
  backup.device_path = "old";
  backup.cells = BoardCells();           // serial 04660
  backup.time = "2020-01-01T00:00:00Z";  // one second: the numbers order them
  for (int i = 0; i < 105; ++i) {
    ASSERT_FALSE(KeepEntry(history_.string(), backup, "set", 4660).trouble);
  }
  ASSERT_FALSE(KeepEntry(history_.string(), backup, "set", 7).trouble);  // another board
  ASSERT_EQ(Entries(), 106u);
  // A write that did not succeed removes nothing.
  files().SetOpenHook([this](const std::string&, const OpenParameters&) {
    if (board().Counts().memory_writes == 20 && platform_.Plugged()) {
      platform_.Unplug();
    }
  });
  EXPECT_EQ(Run({"--sim", "set", "--model", "KX3", "--serial", "4660"}), kExitCutShort);
  files().SetOpenHook(nullptr);
  platform_.Plug();
  EXPECT_EQ(Entries(), 107u);
  ASSERT_EQ(Run({"--sim", "eeprom", "write", "32", "1"}), kExitOk) << Err();
  std::error_code error;
  const std::vector<HistoryEntry> kept = ListHistory(history_.string(), 4660, error);
  ASSERT_EQ(kept.size(), kHistoryKept);
  EXPECT_EQ(kept.front().name.command, "eeprom-write");
  EXPECT_EQ(ListHistory(history_.string(), 7, error).size(), 1u);
}

TEST_F(HistoryTest, TwoRunsAtOnceNeverLoseAnEntry) {
  Backup backup;
  backup.device_path = "same";
  backup.time = "2026-12-07T14:30:05Z";
  backup.cells = BoardCells();
  constexpr int kEach = 25;
  const auto keep = [&] {
    for (int i = 0; i < kEach; ++i) {
      EXPECT_FALSE(KeepEntry(history_.string(), backup, "set", 4660).trouble);
    }
  };
  std::thread first(keep);
  std::thread second(keep);
  first.join();
  second.join();
  EXPECT_EQ(Entries(), 2u * kEach);
}

// An entry is put in place only where no name stands: one taken between the
// temporary file's creation and its rename is left as it was.
TEST_F(HistoryTest, ANewEntryNeverReplacesANameTakenMeanwhile) {
  std::filesystem::create_directories(history_);
  const std::string taken = (history_ / "taken.backup").string();
  ReplacementFile file(taken);
  ASSERT_FALSE(file.Trouble());
  std::ofstream(taken) << "the other run's";
  EXPECT_EQ(file.CommitNew("this run's").error, std::errc::file_exists);
  std::ifstream kept(taken);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the other run's");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(history_), {}), 1);
}

TEST(HistoryNames, FolderAndNamesFollowThePlatformsRules) {
  const auto env = [](std::map<std::string, std::string> vars) {
    return [vars](const char* name) -> std::optional<std::string> {
      const auto found = vars.find(name);
      return found == vars.end() ? std::nullopt : std::optional(found->second);
    };
  };
  EXPECT_EQ(HistoryFolderFrom(env({{"XDG_STATE_HOME", "/s"}, {"HOME", "/h"}}), false),
            "/s/korimo/history");
  EXPECT_EQ(HistoryFolderFrom(env({{"XDG_STATE_HOME", "rel"}, {"HOME", "/h"}}), false),
            "/h/.local/state/korimo/history");
  EXPECT_EQ(HistoryFolderFrom(env({}), false), std::nullopt);
  EXPECT_EQ(HistoryFolderFrom(env({{"LOCALAPPDATA", "C:\\U\\L"}, {"HOME", "/h"}}), true),
            "C:\\U\\L\\Korimo\\history");
  EXPECT_EQ(HistoryFolderFrom(env({{"HOME", "/h"}}), true), std::nullopt);

  const HistoryName name{"20261207T143005Z", 12, "eeprom-write", 4660, 65535};
  EXPECT_EQ(FormatHistoryName(name), "20261207T143005Z-12-eeprom-write-04660-65535.backup");
  const std::optional<HistoryName> parsed = ParseHistoryName(FormatHistoryName(name));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->command, "eeprom-write");
  EXPECT_EQ(parsed->serial_after, 65535);
  for (const char* junk : {"20261207T143005Z-1-set-04660-04661.backup.partial",
                           "20261207T143005Z-1--04660-04661.backup", "x-1-set-04660-04661.backup",
                           "20261207T143005Z-1-set-04660-65536.backup", "-.backup"}) {
    EXPECT_FALSE(ParseHistoryName(junk)) << junk;
  }
}

}  // namespace
}  // namespace korimo::cli
