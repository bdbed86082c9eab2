// The provision log, the record of the serial numbers provision used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korimo::cli {

// The provision log: CSV, one line per board, after this header.
inline constexpr std::string_view kLogHeader =
    "time_utc,device_path,serial_number,model,result,cells_differed";
inline constexpr std::string_view kStored = "stored";
inline constexpr std::string_view kFailed = "failed";
// A serial number taken before its Set; its result line follows.
inline constexpr std::string_view kClaimed = "claimed";
// A log is a few thousand lines; anything far larger is not one.
inline constexpr std::size_t kLargestLog = 16 * 1024 * 1024;

struct LogLine {
  std::string time;
  std::string device_path;
  std::uint16_t serial_number = 0;
  std::string model;
  bool stored = false;
  std::uint32_t cells_differed = 0;
  bool claim = false;  // a claim line: the result column says "claimed"
};

// One log line as CSV, with its line end; a field holding a comma, a quote or
// a line end is quoted.
std::string FormatLogLine(const LogLine& line);

struct ProvisionLog {
  // The line (counting the header as 1) where each stored serial number is.
  std::vector<std::pair<std::uint16_t, std::size_t>> stored;
  // Likewise for the failed lines and the claim lines.
  std::vector<std::pair<std::uint16_t, std::size_t>> failed;
  std::vector<std::pair<std::uint16_t, std::size_t>> claimed;
  std::size_t lines = 0;  // lines read, the header included
  std::string error;      // "line 7: ..." when the log is refused
  // The line that shows `serial` as stored, or nothing.
  std::optional<std::size_t> StoredAt(std::uint16_t serial) const;
  // True when the log shows `serial` as tried and failed but never stored: a
  // board carrying it was cut short by this tool, so it has no serial yet.
  bool OnlyFailed(std::uint16_t serial) const;
  // The highest serial number of `first`..`last` with any line, and its line.
  std::optional<std::pair<std::uint16_t, std::size_t>> HighestUsed(std::uint16_t first,
                                                                   std::uint16_t last) const;
};

// Reads a log's text; an empty text is a new log. A log whose header or any
// line is not as FormatLogLine writes it is refused, naming the line.
ProvisionLog ParseLog(std::string_view text);

// The placeholders that count as "no serial number yet": 0 (a Set with nothing
// entered stores it), 4660 (0x12 0x34, the factory image's) and 65535 (erased
// cells read 0xFF 0xFF).
bool IsPlaceholderSerial(std::int32_t serial);

}  // namespace korimo::cli
