// backup, restore, diff and set --verify against the simulated engraver, and
// the messages of the command line.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/backup_file.h"
#include "config/memory_map.h"
#include "korimo/version.h"
#include "tests/cli/cli_fixture.h"

namespace korimo::cli {
namespace {

class BackupTest : public CliTest {
 protected:
  BackupTest() {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("korimo-backup-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "memory.txt").string();
  }
  ~BackupTest() override { std::filesystem::remove_all(folder_); }

  std::string FileText() const {
    std::ifstream file(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
  }
  void WriteFile(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
  Cells BoardCells() {
    Cells cells{};
    for (std::size_t i = 0; i < kCellCount; ++i) {
      cells[i] = board().Cell(static_cast<std::uint8_t>(i));
    }
    return cells;
  }

  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(BackupTest, BackupReadsAllCellsIntoAFileAndRefusesToOverwrite) {
  board().SetCell(0xE0, 0x42);
  EXPECT_EQ(Run({"--sim", "backup", path_}), kExitOk) << Err();
  EXPECT_TRUE(Written().size() == kCellCount);  // one read request per cell, nothing else
  EXPECT_EQ(Err(), "");                         // no progress line off a terminal
  const BackupParse parsed = ParseBackup(FileText());
  ASSERT_TRUE(parsed.backup) << parsed.error;
  EXPECT_EQ(parsed.backup->cells, BoardCells());
  EXPECT_NE(parsed.backup->device_path.find("Vid_7e21"), std::string::npos);
  EXPECT_EQ(parsed.backup->time.size(), 20u);

  const std::string before = FileText();
  board().SetCell(0x30, 0x99);
  EXPECT_EQ(Run({"--sim", "backup", path_}), kExitRefused);
  EXPECT_TRUE(Err().ends_with("\" exists; give --force to replace it.\n")) << Err();
  EXPECT_EQ(FileText(), before);
  EXPECT_EQ(Reads(), 0u + kCellCount * 3);  // the refusal read nothing

  err_is_terminal_ = true;
  EXPECT_EQ(Run({"--sim", "backup", path_, "--force"}), kExitOk) << Err();
  EXPECT_NE(Err().find("\rReading the parameter memory: 240 of 256 cells"), std::string::npos);
  EXPECT_EQ(ParseBackup(FileText()).backup->cells[0x30], 0x99);
  EXPECT_FALSE(std::filesystem::exists(path_ + ".partial"));
}

TEST_F(BackupTest, RestoreWritesOnlyTheDifferingCellsButNeverTheIdentityUnlessAsked) {
  ASSERT_EQ(Run({"--sim", "backup", path_}), kExitOk) << Err();
  board().SetCell(0x08, 0x00);
  board().SetCell(0x40, 0x77);
  board().SetCell(0xE0, 0x00);  // a Clear ID since the backup
  files().ClearLog();

  EXPECT_EQ(Run({"--sim", "restore", path_, "--dry-run"}), kExitOk) << Err();
  EXPECT_EQ(Out(),
            "0xE0 (the USB identity) differs and is left as it is; give --include-identity to "
            "restore it too.\n"
            "0x08: 0x00 -> 0xFF\n0x40: 0x77 -> 0x00\n2 cells would change; nothing was written.\n");
  EXPECT_EQ(Written().size(), kCellCount);  // the read requests only
  EXPECT_EQ(board().Cell(0x08), 0x00);

  files().ClearLog();
  EXPECT_EQ(Run({"--sim", "restore", path_}), kExitOk) << Err();
  EXPECT_EQ(board().Cell(0x08), 0xFF);
  EXPECT_EQ(board().Cell(0x40), 0x00);
  EXPECT_EQ(board().Cell(0xE0), 0x00);
  const std::vector<Bytes> written = Written();
  EXPECT_EQ(std::count_if(written.begin(), written.end(),
                          [](const Bytes& packet) { return packet.size() == 6; }),
            2);
  EXPECT_NE(Out().find("Restored 2 cells.\nVerified: the 2 cells read back as written.\n"),
            std::string::npos);

  EXPECT_EQ(Run({"--sim", "restore", path_, "--include-identity"}), kExitOk) << Err();
  EXPECT_EQ(board().Cell(0xE0), 0xFF);
  EXPECT_EQ(Run({"--sim", "restore", path_}), kExitOk);
  EXPECT_EQ(Out(), "Nothing to restore: the engraver holds the backup's cells.\n");
}

// Restoring one board's backup onto another keeps the other's serial number
// unless asked; diff and --dry-run say so, and a board with the backup's own
// serial gets its cells back whole.
TEST_F(BackupTest, RestoreOntoAnotherBoardKeepsItsSerialNumberUnlessAsked) {
  ASSERT_EQ(Run({"--sim", "backup", path_}), kExitOk) << Err();
  EXPECT_NE(FileText().find("\nserial 04660\nmodel 1\n"), std::string::npos);
  const std::string kept =
      "The backup's serial number 04660 is not the engraver's (00066): 0x05 and 0x06 are left "
      "as they are; give --include-serial to copy it too.\n";
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string out;
    std::uint8_t serial_low_after;
  };
  const std::vector<Case> cases{
      {{"diff"},
       kExitDiffers,
       "0x05: engraver 0x00, backup 0x12\n0x06: engraver 0x42, backup 0x34\n0x40: engraver 0x77, "
       "backup 0x00\nThe serial numbers differ (engraver 00066, backup 04660): restore keeps the "
       "engraver's own unless --include-serial.\n3 of the 256 cells differ.\n",
       0x42},
      {{"restore", "--dry-run"},
       kExitOk,
       kept + "0x40: 0x77 -> 0x00\n1 cells would change; nothing was written.\n",
       0x42},
      {{"restore", "--no-history"},
       kExitOk,
       kept + "0x40: 0x77 -> 0x00\nRestored 1 cells.\nVerified: the 1 cells read back as "
              "written.\n",
       0x42},
      {{"restore", "--include-serial", "--no-history"},
       kExitOk,
       "0x05: 0x00 -> 0x12\n0x06: 0x42 -> 0x34\n0x40: 0x77 -> 0x00\nRestored 3 cells.\n"
       "Verified: the 3 cells read back as written.\n",
       0x34},
  };
  for (const Case& test : cases) {
    board().SetCell(0x05, 0x00);  // another board: serial number 66
    board().SetCell(0x06, 0x42);
    board().SetCell(0x40, 0x77);
    std::vector<std::string> args{"--sim", test.args[0], path_};
    args.insert(args.end(), test.args.begin() + 1, test.args.end());
    EXPECT_EQ(Run(args), test.exit_code) << test.args[0] << Err();
    EXPECT_EQ(Out(), test.out) << test.args.back();
    EXPECT_EQ(board().Cell(0x06), test.serial_low_after) << test.args.back();
  }
}

TEST_F(BackupTest, RestoreReportsWritesThatDoNotArriveOrDoNotStay) {
  ASSERT_EQ(Run({"--sim", "backup", path_}), kExitOk) << Err();
  const auto erase = [this] {
    for (unsigned address = 0x60; address <= 0x62; ++address) {
      board().SetCell(static_cast<std::uint8_t>(address), 0x00);
    }
  };
  // A fault for the second of the three memory writes, armed as its probe opens.
  const auto second_write = [this](auto arm) {
    files().SetOpenHook([this, arm](const std::string&, const OpenParameters&) {
      if (board().Counts().memory_writes == 1 && board().Counts().memory_reads == kCellCount) {
        arm();
        files().SetOpenHook({});
      }
    });
    board().ResetCounts();
  };

  erase();
  second_write([this] { files().FailWrites(sim::FaultSpan::Times(1)); });
  EXPECT_EQ(Run({"--sim", "restore", path_}), kExitCutShort);
  EXPECT_EQ(Err(),
            "Only 2 of the 3 cells reached the engraver. Restore again once the engraver is "
            "connected.\n");

  // A dropped write reports success but never reaches the memory: the check finds it.
  erase();
  second_write([this] { files().DropWrites(sim::FaultSpan::Times(1)); });
  EXPECT_EQ(Run({"--sim", "restore", path_}), kExitDiffers);
  EXPECT_EQ(Err(),
            "Verification failed: 1 of the 3 cells differ.\n  0x61: wanted 0xFF, found 0x00\n");
}

TEST_F(BackupTest, ADamagedBackupIsRefusedNamingTheLineAndNothingIsRead) {
  ASSERT_EQ(Run({"--sim", "backup", path_}), kExitOk) << Err();
  std::string text = FileText();
  text.replace(text.find("20: CD"), 6, "20: CE");
  WriteFile(text);
  files().ClearLog();
  for (const char* command : {"restore", "diff"}) {
    EXPECT_EQ(Run({"--sim", command, path_}), kExitRefused);
    EXPECT_NE(Err().find("is refused: line 23: the checksum does not match the cells"),
              std::string::npos)
        << Err();
  }
  EXPECT_EQ(Run({"--sim", "diff", (folder_ / "none.txt").string()}), kExitRefused);
  EXPECT_NE(Err().find("cannot be read."), std::string::npos);
  EXPECT_TRUE(files().Log().empty());
}

TEST_F(BackupTest, DiffListsEveryDifferingCell) {
  ASSERT_EQ(Run({"--sim", "backup", path_}), kExitOk) << Err();
  EXPECT_EQ(Run({"--sim", "diff", path_}), kExitOk);
  EXPECT_EQ(Out(), "The engraver's 256 cells match the backup.\n");
  board().SetCell(0x00, 0x01);
  board().SetCell(0xFF, 0x02);
  EXPECT_EQ(Run({"--sim", "diff", path_}), kExitDiffers);
  EXPECT_EQ(Out(),
            "0x00: engraver 0x01, backup 0xFF\n0xFF: engraver 0x02, backup 0xFF\n"
            "2 of the 256 cells differ.\n");
}

TEST_F(CliTest, SetVerifyReadsEveryWrittenCellBack) {
  EXPECT_EQ(Run({"--sim", "set", "--model", "KX3", "--serial", "4661", "--verify", "--no-history"}),
            kExitOk)
      << Err();
  EXPECT_NE(Out().find("Verified: the 78 cells read back as written.\n"), std::string::npos);
  EXPECT_EQ(board().Counts().memory_reads, 78u);

  // Writes the board never sees (a dropped transfer): the read-back finds them.
  files().DropWrites(sim::FaultSpan::Times(12));
  for (std::uint8_t address = 0; address < 0x60; ++address) {
    board().SetCell(address, 0xEE);
  }
  EXPECT_EQ(Run({"--sim", "set", "--model", "KX3", "--serial", "4661", "--verify", "--no-history"}),
            kExitDiffers);
  EXPECT_TRUE(
      Err().starts_with("Verification failed: 11 of the 78 cells differ.\n"
                        "  0x05: wanted 0x12, found 0xEE\n"))
      << Err();
  EXPECT_TRUE(Err().ends_with("  ... and 1 more\n")) << Err();
}

TEST_F(CliTest, MessagesQuoteShortEscapedWordsAndNameTheLimits) {
  EXPECT_EQ(Run({"--version"}), kExitOk);
  EXPECT_EQ(Out(), std::string("korimo-cli ") + kVersion + "\n");

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"--sim", "read", "--timeout", "86401"},
       "--timeout is at most 86400 seconds (one day); \"86401\" given."},
      {{"--sim", "read", "--timeout", "0"}, "--timeout needs a number of seconds above 0"},
      {{"--sim", "read", "now"}, "read takes no operands; 1 was given."},
      {{"--sim", "eeprom", "write", "1"},
       "eeprom write takes two operands, ADDR VALUE; 1 was "
       "given."},
      {{"--sim", "backup"}, "backup takes one operand, FILE; 0 were given."},
      {{"--sim", "set", "--model", std::string("K\x1b[2J\xff") + std::string(40, 'x'), "--serial",
        "1"},
       "--model must be KX2, KX3 or none (\"K\\x1B[2J\\xFF" + std::string(26, 'x') +
           "...\" given)."},
      {{"--sim", "eeprom", "write", "a\"b\\c", "1"}, "\"a\\x22b\\x5Cc\" is not a number"},
  };
  for (const auto& [args, message] : cases) {
    Run(args);
    EXPECT_TRUE(Err().starts_with(message)) << Err();
    EXPECT_EQ(Err().find('\x1b'), std::string::npos);
  }
  EXPECT_TRUE(Written().empty());
}

}  // namespace
}  // namespace korimo::cli
