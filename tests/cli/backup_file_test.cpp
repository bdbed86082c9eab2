// The backup file's text form: what it writes, and every way a damaged or
// foreign file is refused with the line named.
#include "cli/backup_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korimo::cli {
namespace {

Backup Sample() {
  Backup backup;
  backup.device_path = R"(\\?\USB#Vid_7e21&Pid_0065#1)";
  backup.time = "2026-12-07T14:30:05Z";
  for (std::size_t i = 0; i < kCellCount; ++i) {
    backup.cells[i] = static_cast<std::uint8_t>(i);
  }
  return backup;
}

// The sample's text with line `number` (1-based) replaced by `line`.
std::string WithLine(std::size_t number, const std::string& line) {
  const std::string text = FormatBackup(Sample());
  std::size_t start = 0;
  for (std::size_t n = 1; n < number; ++n) {
    start = text.find('\n', start) + 1;
  }
  const std::size_t end = text.find('\n', start);
  return text.substr(0, start) + line + text.substr(end);
}

TEST(BackupFile, WritesAReadableTextThatReadsBackTheSame) {
  EXPECT_EQ(Crc32(Cells{}), 0x0D968558u);
  EXPECT_EQ(Crc32(Sample().cells), 0x29058C73u);
  const std::string text = FormatBackup(Sample());
  EXPECT_TRUE(
      text.starts_with("# Korimo parameter memory backup\nformat 2\n"
                       "device \\\\?\\USB#Vid_7e21&Pid_0065#1\n"
                       "serial 01286\nmodel 7\n"
                       "time 2026-12-07T14:30:05Z\n"
                       "00: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n"));
  EXPECT_TRUE(
      text.ends_with("F0: F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF\n"
                     "crc32 29058C73\n"));

  // Format 1, without the lines that name the board, is still read.
  std::string format1 = text;
  format1.replace(format1.find("format 2"), 8, "format 1");
  format1.erase(format1.find("serial"), std::string("serial 01286\nmodel 7\n").size());
  for (const std::string& form : {text, format1,
                                  WithLine(7,
                                           "00: 00 01 02 03 04 05 06 07 08 09 0a 0b 0c "
                                           "0d 0e 0f"),
                                  [&] {
                                    std::string crlf;
                                    for (const char c : text) {
                                      crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
                                    }
                                    return crlf;
                                  }()}) {
    const BackupParse parsed = ParseBackup(form);
    ASSERT_TRUE(parsed.backup) << parsed.error;
    EXPECT_EQ(parsed.backup->cells, Sample().cells);
    EXPECT_EQ(parsed.backup->device_path, Sample().device_path);
    EXPECT_EQ(parsed.backup->time, Sample().time);
    EXPECT_EQ(parsed.backup->SerialNumber(), 1286);
  }
}

TEST(BackupFile, DamagedOrForeignFilesAreRefusedNamingTheLine) {
  const std::string text = FormatBackup(Sample());
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", "line 1: this is not a Korimo memory backup"},
      {"PK\x03\x04 zip", "line 1: this is not a Korimo memory backup"},
      {WithLine(2, "format 3"), "line 2: format \"3\" is not one this korimo-cli reads"},
      {WithLine(2, "version 1"), "line 2: expected \"format 2\""},
      {WithLine(4, "serial 01287"), "line 4: expected \"serial 01286\", the serial number"},
      {WithLine(5, "modell 7"), "line 5: expected \"model\""},
      {WithLine(3, "device"), "line 3: expected \"device\""},
      {WithLine(6, "time\x01 now"), "line 6: expected \"time\""},
      {WithLine(8, "20: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F"),
       "line 8: expected the row \"10:\""},
      {WithLine(9, "20: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E"),
       "line 9: cell 16 of the row \"20:\""},
      {WithLine(9, "20: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F 30"),
       "line 9: the row \"20:\" has more than 16 cells"},
      {WithLine(9, "20: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F "),
       "line 9: the row \"20:\" ends in a trailing blank."},
      {WithLine(9, "20: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F\t"),
       "line 9: the row \"20:\" ends in a trailing blank."},
      {WithLine(2, "format 2 "), "line 2: the format line ends in a trailing blank."},
      {WithLine(23, "crc32 29058C73 "), "line 23: the checksum line ends in a trailing blank."},
      {WithLine(9, "20: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2G"),
       "line 9: cell 16 of the row \"20:\""},
      {WithLine(9, "20: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E2F"),
       "line 9: cell 15 of the row \"20:\""},
      {WithLine(9, "20: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2E"),
       "line 23: the checksum does not match"},
      {WithLine(23, "crc32 +9058C73"), "line 23: expected \"crc32\""},
      {WithLine(23, "crc32 29058C7"), "line 23: expected \"crc32\""},
      {text.substr(0, text.find("F0:")), "line 22: expected the row \"F0:\""},
      {text + "\n", "line 24: nothing may follow"},
      {text + std::string(kLargestBackup, ' '), "the file is larger than a backup can be"},
  };
  for (const auto& [form, error] : cases) {
    const BackupParse parsed = ParseBackup(form);
    EXPECT_FALSE(parsed.backup) << error;
    EXPECT_TRUE(parsed.error.starts_with(error)) << parsed.error;
  }
}

}  // namespace
}  // namespace korimo::cli
