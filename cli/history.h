// The history of writes: before a command changes an engraver's memory,
// korimo-cli keeps the 256 cells as they were in a backup file of its own, in
// one folder per user:
//
//   Linux    $XDG_STATE_HOME/korimo/history (by default ~/.local/state/korimo/history)
//   Windows  %LOCALAPPDATA%\Korimo\history
//
// An entry's name says when, which command, and the board's serial number
// before and after the command (a set may change it; the entry belongs to the
// board that carries the serial number the command left):
//
//   20261207T143005Z-1-set-04660-04661.backup
//
// The number after the time orders the entries of one second. An entry is
// created under a name no other entry has, exclusively, so two runs at once
// never lose one; each board keeps its newest kHistoryKept entries, and older
// ones are removed only once a write has succeeded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/backup_file.h"
#include "cli/safe_files.h"
#include "config/plan_runner.h"

namespace korimo {
class modKT90;
}

namespace korimo::cli {

class Session;

inline constexpr std::size_t kHistoryKept = 100;
inline constexpr std::string_view kHistoryExtension = ".backup";

// Whether the history folder is found by the rules of Windows, and why there
// is none when no variable names a home for it.
#ifdef _WIN32
inline constexpr bool kOnWindows = true;
inline constexpr std::string_view kNoHistoryFolderReason = "LOCALAPPDATA is not set";
#else
inline constexpr bool kOnWindows = false;
inline constexpr std::string_view kNoHistoryFolderReason = "neither XDG_STATE_HOME nor HOME is set";
#endif

// The value of an environment variable, or nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The history folder by the platform's rules, or nothing when no variable
// names a home for it.
std::optional<std::string> HistoryFolderFrom(const EnvironmentLookup& lookup, bool windows);
// The same from this process's environment and platform.
std::optional<std::string> HistoryFolder();

struct HistoryName {
  std::string time;       // "20261207T143005Z"
  unsigned sequence = 1;  // orders the entries of one second
  std::string command;    // "set", "eeprom-write", "undo"
  std::uint16_t serial_before = 0;
  std::uint16_t serial_after = 0;
};

std::string FormatHistoryName(const HistoryName& name);
// Nothing for a name that is no history entry (a temporary file, another file).
std::optional<HistoryName> ParseHistoryName(std::string_view file_name);

struct HistoryEntry {
  std::string path;
  std::string file_name;
  HistoryName name;
};

// The entries in `folder`, newest first; only those of the board that now
// carries `board`, when given. A folder that does not exist holds none.
std::vector<HistoryEntry> ListHistory(const std::string& folder, std::optional<std::uint16_t> board,
                                      std::error_code& error);

struct KeptEntry {
  std::string path;     // the entry, or the name that could not be written
  FileTrouble trouble;  // why not
};

// Keeps `backup` as a new entry of `command` whose write leaves the serial
// number `serial_after`, creating the folder when needed.
KeptEntry KeepEntry(const std::string& folder, const Backup& backup, std::string_view command,
                    std::uint16_t serial_after);

// The hook of the commands that write, called once before their first write
// with the cells they will write (address, value): reads the 256 cells and
// keeps them as an entry of `command`. kExitOk, or the exit code once the user
// has been told in one sentence why nothing was written (a cell did not
// answer, the copy cannot be saved). --no-history skips the copy. Once the
// command has succeeded, the board's older entries beyond the bound go.
int KeepHistory(Session& session, modKT90& kt90, std::string_view command,
                std::span<const CellValue> writes);
// The same when the command has read the 256 cells already (restore, undo).
int KeepHistory(Session& session, modKT90& kt90, std::string_view command, const Cells& now,
                std::span<const CellValue> writes);

}  // namespace korimo::cli
