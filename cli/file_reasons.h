// Why a file korimo-cli reads or writes could not be used, in the words a
// technician reads: what stands at a path when it is no file, and the system's
// errors as sentences.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace korimo::cli {

// What stands at a path; a symbolic link there is not followed.
enum class PathKind {
  kNothing,
  kFile,
  kSymlink,
  kFolder,
  kDevice,
  kPipe,
  kSocket,
  kOther,
};

// Why a file cannot be read or written: the system's error, or what stands at
// the path when that is no file.
struct FileTrouble {
  std::error_code error;
  PathKind not_a_file = PathKind::kNothing;  // kFolder .. kOther, or kNothing

  explicit operator bool() const { return error || not_a_file != PathKind::kNothing; }
};

struct FileText {
  std::string text;
  FileTrouble trouble;
};

// The reason as a sentence: "Permission is denied.", "It is a named pipe, not a file."
std::string Sentence(const FileTrouble& trouble);

// "a folder", "a device", "a named pipe", "a socket", "not a file".
std::string_view KindName(PathKind kind);

#ifdef _WIN32
// A Windows error code as the portable error of the same meaning, so that
// Sentence words it as on any other system.
std::error_code WindowsError(unsigned long code);
#endif

}  // namespace korimo::cli
