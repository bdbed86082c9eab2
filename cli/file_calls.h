// The platform's calls for the files korimo-cli writes and reads, each with
// the system's error: POSIX in file_calls_posix.cpp, Win32 in
// file_calls_windows.cpp. The policies (replacing a file, what may be read)
// are built on them in safe_files.cpp; ReadFileText of safe_files.h, itself a
// platform call, is defined in the same two files.
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

// Opens `name` for reading and appending, creating it when there is none, and
// waits for an exclusive lock on the whole file (a POSIX record lock, or
// LockFileEx), held until Close. Wine maps the one onto the other, so a Linux
// and a Windows program on one file honour each other's lock. A symbolic link
// at `name` is not followed, and a folder, a device or a pipe is refused
// without being waited on.
Handle OpenLocked(const std::string& name, FileTrouble& trouble);

// At most `limit` bytes from the start of an open file.
FileText ReadFromStart(Handle file, std::size_t limit);

// Writes the whole text at the file's end and flushes it to the disk.
std::error_code AppendAndFlush(Handle file, std::string_view text);

// Writes the whole text and flushes it to the disk.
std::error_code WriteAndFlush(Handle file, std::string_view text);

// Closes the file, releasing its lock at once.
std::error_code Close(Handle file);

// Renames `from` onto `to`, replacing what stands there, and makes the new
// name reach the disk.
std::error_code MoveOnto(const std::string& from, const std::string& to);
// The same where nothing stands at `to`: anything there, a symbolic link
// included, is left as it is and the call fails with file_exists.
std::error_code MoveToNewName(const std::string& from, const std::string& to);

void Remove(const std::string& name);

}  // namespace korimo::cli::file_calls
