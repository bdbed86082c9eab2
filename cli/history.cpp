#include "cli/history.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <regex>
#include <tuple>

#include "cli/commands.h"
#include "cli/entries.h"
#include "config/numeric.h"

namespace korimo::cli {
namespace {

namespace fs = std::filesystem;

// Names tried for one entry before giving up: each run that finds its name
// taken takes the next number.
constexpr unsigned kNameAttempts = 1000;

// "2026-12-07T14:30:05Z" as a name's time, "20261207T143005Z".
std::string NameTime(std::string_view utc) {
  std::string time(utc);
  std::erase_if(time, [](char c) { return c == '-' || c == ':'; });
  return time;
}

// Removes the entries of `board` older than its newest kHistoryKept.
void PruneHistory(const std::string& folder, std::uint16_t board) {
  std::error_code error;
  const std::vector<HistoryEntry> entries = ListHistory(folder, board, error);
  for (std::size_t i = kHistoryKept; i < entries.size(); ++i) {
    fs::remove(entries[i].path, error);
  }
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
  return HistoryFolderFrom(lookup, kOnWindows);
}

std::string FormatHistoryName(const HistoryName& name) {
  return name.time + '-' + std::to_string(name.sequence) + '-' + name.command + '-' +
         FiveDigits(name.serial_before) + '-' + FiveDigits(name.serial_after) +
         std::string(kHistoryExtension);
}

std::optional<HistoryName> ParseHistoryName(std::string_view file_name) {
  // time-sequence-command-before-after.backup; the command may hold dashes itself.
  static const std::regex kName(
      R"(([0-9]{8}T[0-9]{6}Z)-([0-9]{1,9})-([\s\S]+)-([0-9]{5})-([0-9]{5})\.backup)");
  std::match_results<std::string_view::const_iterator> parts;
  if (!std::regex_match(file_name.begin(), file_name.end(), parts, kName)) {
    return std::nullopt;
  }
  const unsigned long before = std::stoul(parts[4]);
  const unsigned long after = std::stoul(parts[5]);
  if (before > 65535 || after > 65535) {
    return std::nullopt;
  }
  return HistoryName{parts[1], static_cast<unsigned>(std::stoul(parts[2])), parts[3],
                     static_cast<std::uint16_t>(before), static_cast<std::uint16_t>(after)};
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
  // Newest first: later time, then the higher number.
  std::ranges::sort(entries, [](const HistoryEntry& a, const HistoryEntry& b) {
    return std::tie(a.name.time, a.name.sequence) > std::tie(b.name.time, b.name.sequence);
  });
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
    session.Err() << "No history copy can be kept, as " << kNoHistoryFolderReason
                  << ", so nothing was written (--no-history writes without one).\n";
    return kExitRefused;
  }
  Cells after = now;
  for (const auto& [address, value] : writes) {
    after[address] = value;
  }
  const Backup backup{kt90.DevicePath(), session.GetPacer().UtcNow(), now};
  const KeptEntry kept = KeepEntry(*folder, backup, command, SerialNumberOf(after));
  if (kept.trouble) {
    session.Err() << "The history copy " << EchoPath(kept.path)
                  << " cannot be written, so nothing was written to the engraver: "
                  << Sentence(kept.trouble) << " (--no-history writes without one.)\n";
    return kExitRefused;
  }
  session.Out() << "The memory as it was is kept in " << EchoPath(kept.path) << ".\n";
  session.AtSuccess(
      [folder = *folder, board = SerialNumberOf(after)] { PruneHistory(folder, board); });
  return kExitOk;
}

}  // namespace korimo::cli
