#include <algorithm>
#include <charconv>

#include "cli/entries.h"
#include "cli/workshop.h"

namespace korimo::cli {
namespace {

constexpr std::size_t kFields = 6;

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(text);
  }
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c == '"' ? "\"\"" : std::string(1, c);
  }
  return quoted + '"';
}

// The fields of one line, or nothing when its quotes do not close.
std::optional<std::vector<std::string>> CsvFields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';  // a quote doubled inside quotes
      ++i;
    } else if (c == '"' && (quoted || fields.back().empty())) {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return quoted ? std::nullopt : std::optional(fields);
}

}  // namespace

std::string FormatLogLine(const LogLine& line) {
  return CsvField(line.time) + ',' + CsvField(line.device_path) + ',' +
         FiveDigits(line.serial_number) + ',' + CsvField(line.model) + ',' +
         std::string(line.claim    ? kClaimed
                     : line.stored ? kStored
                                   : kFailed) +
         ',' + std::to_string(line.cells_differed) + '\n';
}

std::optional<std::size_t> ProvisionLog::StoredAt(std::uint16_t serial) const {
  const auto found = std::find_if(stored.begin(), stored.end(),
                                  [&](const auto& entry) { return entry.first == serial; });
  return found == stored.end() ? std::nullopt : std::optional(found->second);
}

bool ProvisionLog::OnlyFailed(std::uint16_t serial) const {
  const auto is_serial = [&](const auto& entry) { return entry.first == serial; };
  return !StoredAt(serial) && (std::any_of(failed.begin(), failed.end(), is_serial) ||
                               std::any_of(claimed.begin(), claimed.end(), is_serial));
}

std::optional<std::pair<std::uint16_t, std::size_t>> ProvisionLog::HighestUsed(
    std::uint16_t first, std::uint16_t last) const {
  std::optional<std::pair<std::uint16_t, std::size_t>> highest;
  for (const auto* entries : {&stored, &claimed, &failed}) {
    for (const auto& [serial, line] : *entries) {
      if (serial >= first && serial <= last && (!highest || serial > highest->first)) {
        highest = std::pair(serial, line);
      }
    }
  }
  return highest;
}

ProvisionLog ParseLog(std::string_view text) {
  ProvisionLog log;
  const auto refuse = [](std::size_t line, const std::string& what) {
    ProvisionLog refused;
    refused.error = "line " + std::to_string(line) + ": " + what;
    return refused;
  };
  if (text.size() > kLargestLog) {
    return refuse(1, "the file is larger than a provision log can be.");
  }
  const std::vector<std::string_view> lines = Lines(text);
  for (std::size_t number = 1; number <= lines.size(); ++number) {
    const std::string_view line = lines[number - 1];
    if (number == lines.size() && !text.ends_with('\n')) {
      return refuse(number,
                    "the line has no line end: it was cut short; check the log by "
                    "hand before going on.");
    }
    if (number == 1) {
      if (line != kLogHeader) {
        return refuse(1, "this is not a provision log (its header is not \"" +
                             std::string(kLogHeader) + "\").");
      }
      continue;
    }
    const std::optional<std::vector<std::string>> fields = CsvFields(line);
    if (!fields || fields->size() != kFields) {
      return refuse(number, "expected six comma-separated fields.");
    }
    const std::optional<std::uint16_t> serial = WholeNumber<std::uint16_t>((*fields)[2], 65535);
    if (!serial) {
      return refuse(number, "the serial number " + Echo((*fields)[2]) +
                                " is not a whole number of 0 to 65535.");
    }
    const std::string& result = (*fields)[4];
    if (result != kStored && result != kFailed && result != kClaimed) {
      return refuse(number,
                    "the result " + Echo(result) + " is neither claimed, stored nor failed.");
    }
    if (!WholeNumber<std::uint32_t>((*fields)[5], 256)) {
      return refuse(number, "the count of cells that differed is not a number of 0 to 256.");
    }
    (result == kStored    ? log.stored
     : result == kClaimed ? log.claimed
                          : log.failed)
        .emplace_back(*serial, number);
  }
  log.lines = lines.size();
  return log;
}

bool IsPlaceholderSerial(std::int32_t serial) {
  return serial == 0 || serial == 0x1234 || serial == 0xFFFF;
}

}  // namespace korimo::cli
