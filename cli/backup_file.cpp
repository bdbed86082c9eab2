#include "cli/backup_file.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "cli/entries.h"
#include "config/numeric.h"
#include "device/hex.h"

namespace korimo::cli {
namespace {

constexpr std::string_view kTitle = "# Korimo parameter memory backup";
constexpr std::size_t kRowLength = 16;
constexpr std::size_t kRows = kCellCount / kRowLength;

bool Printable(std::string_view text) {
  return std::ranges::none_of(text, [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

bool EndsInBlank(std::string_view text) {
  return text.ends_with(' ') || text.ends_with('\t');
}

BackupParse Refused(std::size_t line, const std::string& what) {
  return {std::nullopt, "line " + std::to_string(line) + ": " + what};
}

// "key value": the value after `key` and one blank, or nothing.
std::optional<std::string_view> Field(std::string_view line, std::string_view key) {
  if (line.size() < key.size() + 1 || !line.starts_with(key) || line[key.size()] != ' ') {
    return std::nullopt;
  }
  return line.substr(key.size() + 1);
}

}  // namespace

std::uint32_t Crc32(const Cells& cells) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const std::uint8_t byte : cells) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ ((crc & 1u) != 0 ? 0xEDB88320u : 0u);
    }
  }
  return ~crc;
}

std::string FormatRows(const Cells& cells) {
  std::string text;
  for (std::size_t row = 0; row < kRows; ++row) {
    text += HexDigits(static_cast<std::uint8_t>(row * kRowLength));
    text += ':';
    for (std::size_t i = 0; i < kRowLength; ++i) {
      text += ' ';
      text += HexDigits(cells[row * kRowLength + i]);
    }
    text += '\n';
  }
  return text;
}

std::string FormatBackup(const Backup& backup) {
  std::string text(kTitle);
  text += "\nformat " + std::to_string(kBackupFormat) + "\ndevice " + backup.device_path +
          "\nserial " + FiveDigits(backup.SerialNumber()) + "\nmodel " +
          std::to_string(backup.ModelCode()) + "\ntime " + backup.time + '\n';
  text += FormatRows(backup.cells);
  const std::uint32_t crc = Crc32(backup.cells);
  text += "crc32 ";
  for (int shift = 24; shift >= 0; shift -= 8) {
    text += HexDigits(static_cast<std::uint8_t>(crc >> shift));
  }
  return text + '\n';
}

BackupParse ParseBackup(std::string_view text) {
  if (text.size() > kLargestBackup) {
    return {std::nullopt, "the file is larger than a backup can be (" +
                              std::to_string(kLargestBackup / 1024) + " KB)."};
  }
  const std::vector<std::string_view> lines = Lines(text);
  if (lines.empty() || lines[0] != kTitle) {
    return Refused(1, "this is not a Korimo memory backup (it does not begin with \"" +
                          std::string(kTitle) + "\").");
  }
  const auto line_at = [&](std::size_t number) {
    return number <= lines.size() ? lines[number - 1] : std::string_view();
  };
  Backup backup;
  const std::optional<std::string_view> format = Field(line_at(2), "format");
  if (!format) {
    return Refused(2, "expected \"format " + std::to_string(kBackupFormat) + "\".");
  }
  if (EndsInBlank(*format)) {
    return Refused(2, "the format line ends in a trailing blank.");
  }
  if (*format != "1" && *format != std::to_string(kBackupFormat)) {
    return Refused(2, "format " + Echo(*format) +
                          " is not one this korimo-cli reads (it reads 1 "
                          "and " +
                          std::to_string(kBackupFormat) + ").");
  }
  // Format 2 names the board: the serial and model lines after the device.
  const bool names_board = *format != "1";
  const std::size_t header_lines = names_board ? 6 : 4;
  const std::size_t line_count = header_lines + kRows + 1;
  const std::optional<std::string_view> device = Field(line_at(3), "device");
  if (!device || !Printable(*device)) {
    return Refused(3, "expected \"device\" and the device path.");
  }
  backup.device_path = std::string(*device);
  if (names_board && !Field(line_at(4), "serial")) {
    return Refused(4, "expected \"serial\" and the board's serial number.");
  }
  if (names_board && !Field(line_at(5), "model")) {
    return Refused(5, "expected \"model\" and the board's model code.");
  }
  const std::optional<std::string_view> time = Field(line_at(header_lines), "time");
  if (!time || !Printable(*time)) {
    return Refused(header_lines, "expected \"time\" and the time of the backup.");
  }
  backup.time = std::string(*time);

  for (std::size_t row = 0; row < kRows; ++row) {
    const std::size_t number = header_lines + row + 1;
    const std::string_view line = line_at(number);
    const std::string address = HexDigits(static_cast<std::uint8_t>(row * kRowLength)) + ':';
    if (!line.starts_with(address)) {
      return Refused(number, "expected the row \"" + address + "\" and its 16 cells.");
    }
    std::string_view cells = line.substr(address.size());
    for (std::size_t i = 0; i < kRowLength; ++i) {
      const std::optional<std::uint8_t> byte =
          cells.size() >= 3 && cells[0] == ' ' ? HexByteAt(cells.substr(1)) : std::nullopt;
      const bool last = i + 1 == kRowLength;
      if (!byte || (cells.size() > 3 && cells[3] != ' ' && !(last && cells[3] == '\t'))) {
        return Refused(number, "cell " + std::to_string(i + 1) + " of the row \"" + address +
                                   "\" is not a blank and two hexadecimal digits.");
      }
      backup.cells[row * kRowLength + i] = *byte;
      cells.remove_prefix(3);
    }
    if (!cells.empty() && cells.find_first_not_of(" \t") == std::string_view::npos) {
      return Refused(number, "the row \"" + address + "\" ends in a trailing blank.");
    }
    if (!cells.empty()) {
      return Refused(number, "the row \"" + address + "\" has more than 16 cells.");
    }
  }

  const std::size_t crc_line = line_count;  // the last line
  const std::optional<std::string_view> crc_text = Field(line_at(crc_line), "crc32");
  if (crc_text && EndsInBlank(*crc_text)) {
    return Refused(crc_line, "the checksum line ends in a trailing blank.");
  }
  std::uint32_t crc = 0;
  if (!crc_text || crc_text->size() != 8 ||
      std::from_chars(crc_text->data(), crc_text->data() + crc_text->size(), crc, 16).ptr !=
          crc_text->data() + crc_text->size()) {
    return Refused(crc_line, "expected \"crc32\" and eight hexadecimal digits.");
  }
  if (crc != Crc32(backup.cells)) {
    return Refused(crc_line,
                   "the checksum does not match the cells: the file is damaged or was edited.");
  }
  if (lines.size() > line_count) {
    return Refused(line_count + 1, "nothing may follow the checksum line.");
  }
  if (names_board) {
    // The checksum covers the cells only; the lines that name the board must agree with them.
    if (Field(line_at(4), "serial") != FiveDigits(backup.SerialNumber())) {
      return Refused(4, "expected \"serial " + FiveDigits(backup.SerialNumber()) +
                            "\", the serial number that cells 05 and 06 hold.");
    }
    if (Field(line_at(5), "model") != std::to_string(backup.ModelCode())) {
      return Refused(5, "expected \"model " + std::to_string(backup.ModelCode()) +
                            "\", the model code that cell 07 holds.");
    }
  }
  return {backup, {}};
}

}  // namespace korimo::cli
