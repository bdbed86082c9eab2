// history and undo: the copies kept before each write, and the way back to one.
#include <algorithm>
#include <functional>
#include <iomanip>
#include <numeric>
#include <optional>
#include <ostream>
#include <string>

#include "cli/commands.h"
#include "cli/entries.h"
#include "cli/history.h"
#include "config/memory_map.h"
#include "config/numeric.h"

namespace korimo::cli {
namespace {

// The history folder, or nothing once the user has been told why there is none.
std::optional<std::string> FolderOrSay(Session& session) {
  std::optional<std::string> folder = HistoryFolder();
  if (!folder) {
    session.Err() << "There is no history folder, as " << kNoHistoryFolderReason << ".\n";
  }
  return folder;
}

// The entries of `board` (every board's when none), or nothing once the user
// has been told why the folder cannot be read.
std::optional<std::vector<HistoryEntry>> EntriesOrSay(Session& session, const std::string& folder,
                                                      std::optional<std::uint16_t> board) {
  std::error_code error;
  std::vector<HistoryEntry> entries = ListHistory(folder, board, error);
  if (error) {
    session.Err() << "The history folder " << EchoPath(folder) << " cannot be read. "
                  << Sentence({error}) << '\n';
    return std::nullopt;
  }
  return entries;
}

// The entry's backup, or the sentence that says why it cannot be used.
std::optional<Backup> LoadEntry(const HistoryEntry& entry, std::string& why) {
  const std::string named = "The history entry " + EchoPath(entry.path);
  const FileText file = ReadFileText(entry.path, kLargestBackup + 1);
  if (file.trouble) {
    why = named + " cannot be read. " + Sentence(file.trouble);
    return std::nullopt;
  }
  BackupParse parsed = ParseBackup(file.text);
  if (!parsed.backup) {
    why = named + " is refused: " + parsed.error;
  }
  return std::move(parsed.backup);
}

}  // namespace

int RunHistory(Session& session, std::span<const std::string>) {
  const std::optional<std::string> folder = FolderOrSay(session);
  if (!folder) {
    return kExitRefused;
  }
  const bool all = session.Line().Has("--all");
  std::optional<Cells> now;
  if (!all) {
    modKT90* kt90 = session.Connect();
    if (kt90 == nullptr) {
      return session.ConnectFailure();
    }
    if (const int failed = ReadAllCells(session, *kt90, now.emplace(), "no history is shown");
        failed != kExitOk) {
      return failed;
    }
  }
  const std::optional<std::uint16_t> board =
      now ? std::optional(SerialNumberOf(*now)) : std::nullopt;
  const std::optional<std::vector<HistoryEntry>> entries = EntriesOrSay(session, *folder, board);
  if (!entries) {
    return kExitRefused;
  }
  std::ostream& out = session.Out();
  if (entries->empty()) {
    out << "The history in " << EchoPath(*folder) << " holds no entry"
        << (board ? " for the engraver with serial number " + FiveDigits(*board) : std::string())
        << ".\n";
    return kExitOk;
  }
  out << std::left << std::setw(5) << (all ? "" : "#") << std::setw(22) << "time" << std::setw(14)
      << "command" << std::setw(16) << "serial" << std::setw(17) << "model"
      << (all ? "entry" : "cells differing now") << '\n';
  for (std::size_t i = 0; i < entries->size(); ++i) {
    const HistoryEntry& entry = (*entries)[i];
    out << std::setw(5) << (all ? std::string() : std::to_string(i + 1));
    std::string why;
    const std::optional<Backup> backup = LoadEntry(entry, why);
    if (!backup) {
      out << why << '\n';
      continue;
    }
    const HistoryName& name = entry.name;
    out << std::setw(22) << backup->time << std::setw(14) << name.command << std::setw(16)
        << FiveDigits(name.serial_before) + (name.serial_before == name.serial_after
                                                 ? ""
                                                 : " -> " + FiveDigits(name.serial_after))
        << std::setw(17) << ModelText(backup->ModelCode());
    if (all) {
      out << entry.file_name << '\n';
      continue;
    }
    out << std::transform_reduce(backup->cells.begin(), backup->cells.end(), now->begin(),
                                 std::size_t{0}, std::plus<>(), std::not_equal_to<>())
        << '\n';
  }
  out << std::right;
  if (!all) {
    out << "korimo-cli undo writes back the newest (1); undo N another.\n";
  }
  return kExitOk;
}

int RunUndo(Session& session, std::span<const std::string> operands) {
  const std::optional<std::string> folder = FolderOrSay(session);
  if (!folder) {
    return kExitRefused;
  }
  modKT90* kt90 = session.Connect();
  if (kt90 == nullptr) {
    return session.ConnectFailure();
  }
  Cells now{};
  if (const int failed = ReadAllCells(session, *kt90, now, "nothing was undone");
      failed != kExitOk) {
    return failed;
  }
  const std::uint16_t board = SerialNumberOf(now);
  const std::optional<std::vector<HistoryEntry>> entries = EntriesOrSay(session, *folder, board);
  if (!entries) {
    return kExitRefused;
  }
  const std::string own = "the engraver with serial number " + FiveDigits(board);
  const HistoryEntry* chosen = nullptr;
  if (operands.empty()) {
    if (entries->empty()) {
      session.Err() << "The history in " << EchoPath(*folder) << " holds no entry for " << own
                    << "; nothing was undone.\n";
      return kExitRefused;
    }
    chosen = &entries->front();
  } else if (const std::string& given = operands[0];
             !given.empty() &&
             std::ranges::all_of(given, [](char c) { return c >= '0' && c <= '9'; })) {
    const std::size_t number = given.size() > 6 ? 0 : std::stoul(given);
    if (number == 0 || number > entries->size()) {
      session.Err() << "The history of " << own << " has no entry " << Echo(given) << " (it holds "
                    << entries->size() << "; korimo-cli history lists them); nothing was undone.\n";
      return kExitRefused;
    }
    chosen = &(*entries)[number - 1];
  } else {
    const auto found = std::ranges::find(*entries, given, &HistoryEntry::file_name);
    if (found == entries->end()) {
      const std::optional<std::vector<HistoryEntry>> every =
          EntriesOrSay(session, *folder, std::nullopt);
      const auto elsewhere =
          every ? std::ranges::find(*every, given, &HistoryEntry::file_name) : entries->end();
      if (every && elsewhere != every->end()) {
        session.Err() << "The history entry " << Echo(given)
                      << " belongs to the board with serial number "
                      << FiveDigits(elsewhere->name.serial_after) << ", not to " << own
                      << "; nothing was undone.\n";
      } else {
        session.Err() << "The history in " << EchoPath(*folder) << " has no entry " << Echo(given)
                      << " (give its number or file name as history lists it); nothing was "
                         "undone.\n";
      }
      return kExitRefused;
    }
    chosen = &*found;
  }
  std::string why;
  const std::optional<Backup> backup = LoadEntry(*chosen, why);
  if (!backup) {
    session.Err() << why << " Nothing was undone.\n";
    return kExitRefused;
  }
  session.Out() << "Writing back the memory as it was before " << chosen->name.command << " at "
                << backup->time << " (" << chosen->file_name << ").\n";
  return RestoreCells(session, *kt90, now, *backup, "undo", true);
}

}  // namespace korimo::cli
