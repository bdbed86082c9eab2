// The backup file of the parameter memory: plain text a person can read and
// diff. Format 2, line by line:
//
//   # Korimo parameter memory backup
//   format 2
//   device <the device path the cells were read from>
//   serial <the board's serial number, five digits: cells 05 and 06>
//   model <the board's model code: cell 07>
//   time <UTC, 2026-12-07T14:30:05Z>
//   00: 00 00 00 00 00 12 34 02 00 00 00 00 1F 40 10 9A
//   ... sixteen rows of sixteen cells, addresses 00 to F0 ...
//   F0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF
//   crc32 1A2B3C4D
//
// The checksum is the CRC-32 (IEEE 802.3) of the 256 cells in address order.
// Line ends may be LF or CRLF; nothing may follow the checksum line. Format 1
// is the same without the serial and model lines, and is still read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korimo::cli {

inline constexpr std::size_t kCellCount = 256;
inline constexpr int kBackupFormat = 2;
// A backup is about 1 KB; anything far larger is not one.
inline constexpr std::size_t kLargestBackup = 64 * 1024;

using Cells = std::array<std::uint8_t, kCellCount>;

// The serial number the cells hold: cells 05 and 06.
inline std::uint16_t SerialNumberOf(const Cells& cells) {
  return static_cast<std::uint16_t>(cells[0x05] * 256 + cells[0x06]);
}

struct Backup {
  std::string device_path;
  std::string time;  // as written, e.g. "2026-12-07T14:30:05Z"
  Cells cells{};

  // The board the cells came from, as they hold it.
  std::uint16_t SerialNumber() const { return SerialNumberOf(cells); }
  std::uint8_t ModelCode() const { return cells[0x07]; }
};

std::uint32_t Crc32(const Cells& cells);

std::string FormatBackup(const Backup& backup);

// The cells as the backup's sixteen rows "00: 00 00 ...", each with its line end.
std::string FormatRows(const Cells& cells);

struct BackupParse {
  std::optional<Backup> backup;
  // When refused: one sentence naming the line, e.g. "line 7: expected 16
  // cells after \"20:\", found 15."
  std::string error;
};

BackupParse ParseBackup(std::string_view text);

}  // namespace korimo::cli
