#include "cli/history.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/commands.h"
#include "cli/entries.h"
#include "config/memory_map.h"
#include "config/numeric.h"

namespace korimo::cli {
namespace {

namespace fs = std::filesystem;

// Names tried for one entry before giving up: each run that finds its name
// taken takes the next number.
constexpr unsigned kNameAttempts = 1000;

#ifdef _WIN32
constexpr std::string_view kFolderVariables = "LOCALAPPDATA is not set";
#else
constexpr std::string_view kFolderVariables = "neither XDG_STATE_HOME nor HOME is set";
#endif

std::optional<unsigned> Digits(std::string_view text) {
  unsigned value = 0;
  if (text.empty() || text.size() > 9 ||
      std::from_chars(text.data(), text.data() + text.size(), value).ptr !=
          text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

bool IsNameTime(std::string_view time) {
  if (time.size() != 16 || time[8] != 'T' || time[15] != 'Z') {
    return false;
  }
  return std::all_of(time.begin(), time.begin() + 8, [](char c) { return c >= '0' && c <= '9'; }) &&
         std::all_of(time.begin() + 9, time.begin() + 15,
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::uint16_t SerialOf(const Cells& cells) {
  return static_cast<std::uint16_t>(cells[memory::kSerialNumber] * 256 +
                                    cells[memory::kSerialNumber + 1u]);
}

}  // namespace

std::optional<std::string> HistoryFolderFrom(const EnvironmentLookup& lookup, bool windows) {
  const auto set = [&](const char* name) -> std::optional<std::string> {
    std::optional<std::string> value = lookup(name);
    return value && !value->empty() ? value : std::nullopt;
  };
  if (windows) {
    const std::optional<std::string> local = set("LOCALAPPDATA");
    return local ? std::optional(*local + "\\Korimo\\history") : std::nullopt;
  }
  // A relative XDG_STATE_HOME is no folder by the XDG rules, and is ignored.
  if (const std::optional<std::string> state = set("XDG_STATE_HOME");
      state && state->front() == '/') {
    return *state + "/korimo/history";
  }
  const std::optional<std::string> home = set("HOME");
  return home ? std::optional(*home + "/.local/state/korimo/history") : std::nullopt;
}

std::optional<std::string> HistoryFolder() {
  const EnvironmentLookup lookup = [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
  };
#ifdef _WIN32
  return HistoryFolderFrom(lookup, true);
#else
  return HistoryFolderFrom(lookup, false);
#endif
}

std::string_view NoHistoryFolderReason() {
  return kFolderVariables;
}

bool HistoryName::NewerThan(const HistoryName& other) const {
  return time != other.time ? time > other.time : sequence > other.sequence;
}

std::string FormatHistoryName(const HistoryName& name) {
  return name.time + '-' + std::to_string(name.sequence) + '-' + name.command + '-' +
         FiveDigits(name.serial_before) + '-' + FiveDigits(name.serial_after) +
         std::string(kHistoryExtension);
}

std::optional<HistoryName> ParseHistoryName(std::string_view file_name) {
  if (!file_name.ends_with(kHistoryExtension)) {
    return std::nullopt;
  }
  file_name.remove_suffix(kHistoryExtension.size());
  // time-sequence-command-before-after; the command may hold dashes itself.
  const std::size_t first = file_name.find('-');
  const std::size_t second = file_name.find('-', first == std::string_view::npos ? 0 : first + 1);
  const std::size_t last = file_name.rfind('-');
  const std::size_t before_last =
      last == std::string_view::npos || last == 0 ? last : file_name.rfind('-', last - 1);
  if (second == std::string_view::npos || before_last == std::string_view::npos ||
      before_last <= second + 1) {
    return std::nullopt;
  }
  HistoryName name;
  name.time = std::string(file_name.substr(0, first));
  const std::optional<unsigned> sequence = Digits(file_name.substr(first + 1, second - first - 1));
  name.command = std::string(file_name.substr(second + 1, before_last - second - 1));
  const std::string_view before = file_name.substr(before_last + 1, last - before_last - 1);
  const std::string_view after = file_name.substr(last + 1);
  const unsigned serial_before = before.size() == 5 ? Digits(before).value_or(65536) : 65536;
  const unsigned serial_after = after.size() == 5 ? Digits(after).value_or(65536) : 65536;
  if (!IsNameTime(name.time) || !sequence || serial_before > 65535 || serial_after > 65535) {
    return std::nullopt;
  }
  name.sequence = *sequence;
  name.serial_before = static_cast<std::uint16_t>(serial_before);
  name.serial_after = static_cast<std::uint16_t>(serial_after);
  return name;
}

std::string NameTime(std::string_view utc) {
  std::string time;
  for (const char c : utc) {
    if (c != '-' && c != ':') {
      time += c;
    }
  }
  return time;
}

std::vector<HistoryEntry> ListHistory(const std::string& folder, std::optional<std::uint16_t> board,
                                      std::error_code& error) {
  std::vector<HistoryEntry> entries;
  error.clear();
  if (!fs::exists(folder, error)) {
    return entries;
  }
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string file_name = it->path().filename().string();
    const std::optional<HistoryName> name = ParseHistoryName(file_name);
    if (name && (!board || name->serial_after == *board)) {
      entries.push_back({it->path().string(), file_name, *name});
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const HistoryEntry& a, const HistoryEntry& b) { return a.name.NewerThan(b.name); });
  return entries;
}

KeptEntry KeepEntry(const std::string& folder, const Backup& backup, std::string_view command,
                    std::uint16_t serial_after) {
  KeptEntry kept{folder, {}};
  fs::create_directories(folder, kept.trouble.error);
  if (kept.trouble) {
    return kept;
  }
  HistoryName name{NameTime(backup.time), 1, std::string(command), backup.SerialNumber(),
                   serial_after};
  // Start after the highest number of this second, so the new entry is the newest.
  std::error_code error;
  for (const HistoryEntry& entry : ListHistory(folder, std::nullopt, error)) {
    if (entry.name.time == name.time) {
      name.sequence = std::max(name.sequence, entry.name.sequence + 1);
    }
  }
  const std::string text = FormatBackup(backup);
  for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt, ++name.sequence) {
    kept.path = (fs::path(folder) / FormatHistoryName(name)).string();
    ReplacementFile file(kept.path);
    kept.trouble = file.Trouble() ? file.Trouble() : file.CommitNew(text);
    if (kept.trouble.error != std::errc::file_exists) {
      return kept;
    }
  }
  return kept;
}

std::size_t PruneHistory(const std::string& folder, std::uint16_t board) {
  std::error_code error;
  const std::vector<HistoryEntry> entries = ListHistory(folder, board, error);
  std::size_t removed = 0;
  for (std::size_t i = kHistoryKept; i < entries.size(); ++i) {
    removed += fs::remove(entries[i].path, error) ? 1u : 0u;
  }
  return removed;
}

int KeepHistory(Session& session, modKT90& kt90, std::string_view command,
                std::span<const CellValue> writes) {
  if (session.Line().Has("--no-history")) {
    return kExitOk;
  }
  Cells now{};
  if (const int failed = ReadAllCells(session, kt90, now,
                                      "no history copy could be kept, so nothing was written "
                                      "(--no-history writes without one)");
      failed != kExitOk) {
    return failed;
  }
  return KeepHistory(session, kt90, command, now, writes);
}

int KeepHistory(Session& session, modKT90& kt90, std::string_view command, const Cells& now,
                std::span<const CellValue> writes) {
  if (session.Line().Has("--no-history")) {
    return kExitOk;
  }
  const std::optional<std::string> folder = HistoryFolder();
  if (!folder) {
    session.Err() << "No history copy can be kept, as " << kFolderVariables
                  << ", so nothing was written (--no-history writes without one).\n";
    return kExitRefused;
  }
  Cells after = now;
  for (const auto& [address, value] : writes) {
    after[address] = value;
  }
  const Backup backup{kt90.DevicePath(), session.GetPacer().UtcNow(), now};
  const KeptEntry kept = KeepEntry(*folder, backup, command, SerialOf(after));
  if (kept.trouble) {
    session.Err() << "The history copy " << EchoPath(kept.path)
                  << " cannot be written, so nothing was written to the engraver: "
                  << Sentence(kept.trouble) << " (--no-history writes without one.)\n";
    return kExitRefused;
  }
  session.Out() << "The memory as it was is kept in " << EchoPath(kept.path) << ".\n";
  session.AtSuccess([folder = *folder, board = SerialOf(after)] { PruneHistory(folder, board); });
  return kExitOk;
}

}  // namespace korimo::cli
