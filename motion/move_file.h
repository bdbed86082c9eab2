// Movement files: length-prefixed records (a 16-bit big-endian length N, then N
// bytes) with the framing of the command packets. PlayMoveFile walks a file
// record by record, each one only after the controller reports idle, and
// hands every record to the channel as a packet.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "device/modKT90.h"
#include "device/ports.h"

namespace korimo {

inline constexpr std::string_view kMoveFileMissing = "Movement File is missing";
inline constexpr std::string_view kMoveFileDamaged = "Movement File is damaged";
inline constexpr std::string_view kMoveFileUnreadable = "Movement File cannot be read";

enum class MoveFileResult {
  kWalked,      // every record sent (an empty file sends none)
  kMissing,     // no normal file at the path (a directory, on Windows a hidden or system
                //   file does not count); reported
  kUnreadable,  // exists but could not be opened or read; reported
  kDamaged,     // ends inside a record; the whole records before it were sent; reported
  kNoAnswer,    // the busy test got no answer before a record: the walk stopped there, silently
};

// Walks the movement file at `path`. Every failure is shown once through
// `prompts` (OK only, the application title) and the walk ends; the tool goes on.
MoveFileResult PlayMoveFile(const std::string& path, modKT90& board, Prompts& prompts);

}  // namespace korimo
