// The platform's calls for the files korimo-cli writes and reads, each with
// the system's error: POSIX in file_calls_posix.cpp, Win32 in
// file_calls_windows.cpp. The policies (replacing a file, what may be read)
// are built on them in safe_files.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/file_reasons.h"

namespace korimo::cli::file_calls {

// An open file: a descriptor or a HANDLE. -1 is also INVALID_HANDLE_VALUE.
using Handle = std::intptr_t;
inline constexpr Handle kClosed = -1;

// Creates `name` for writing; anything that stands there, a symbolic link
// included (it is not followed), makes it fail with file_exists.
Handle CreateExclusive(const std::string& name, std::error_code& error);

// Opens `name` for writing at its end, creating it when there is none.
Handle OpenForAppend(const std::string& name, std::error_code& error);

// Writes the whole text and flushes it to the disk.
std::error_code WriteAndFlush(Handle file, std::string_view text);

std::error_code Close(Handle file);

// Renames `from` onto `to`, replacing what stands there, and makes the new
// name reach the disk.
std::error_code MoveOnto(const std::string& from, const std::string& to);
// The same where nothing stands at `to`: anything there, a symbolic link
// included, is left as it is and the call fails with file_exists.
std::error_code MoveToNewName(const std::string& from, const std::string& to);

void Remove(const std::string& name);

// At most `limit` bytes of the file at `path`, opened without waiting on a
// device or pipe, which is refused.
FileText ReadText(const std::string& path, std::size_t limit);

}  // namespace korimo::cli::file_calls
