// The files korimo-cli writes and reads for a technician, opened so that
// nothing another user placed at a path is written through, a device or a pipe
// is never replaced or waited on, and every failure has its reason.
//
// A new file is written beside its target under a name the tool creates
// itself, exclusively and without following a symbolic link (the target's name
// with ".partial", or another free name when that one is taken), flushed to
// the disk and only then renamed onto the target: a failed write, a full disk
// or a kill leaves whatever stood at the target as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/file_reasons.h"

namespace korimo::cli {

// What stands at `path` (kNothing, with `error` set, when it cannot be told).
PathKind KindAt(const std::string& path, std::error_code& error);

// Whether a new file may take the place of what stands at a path: nothing, a
// file, or a symbolic link (which is replaced, not followed).
bool Replaceable(PathKind kind);

// A new file for `target`: created empty and exclusively beside it at once, so
// that a folder that cannot take it is known before any work is done; Commit
// fills it and puts it in the target's place. Unless committed, the temporary
// file is removed again.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string target);
  ~ReplacementFile() { Discard(); }
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Why the temporary file could not be created.
  const FileTrouble& Trouble() const { return trouble_; }

  // Writes `text`, flushes it to the disk and renames it onto the target,
  // unless by now something other than a file or a symbolic link stands there.
  FileTrouble Commit(std::string_view text) { return Put(text, true); }
  // The same, but only where nothing stands at the target yet: a name taken
  // meanwhile (even by a symbolic link) is left as it is, with file_exists.
  FileTrouble CommitNew(std::string_view text) { return Put(text, false); }

 private:
  FileTrouble Put(std::string_view text, bool replace);
  void Discard();

  std::string target_;
  std::string temporary_;
  std::intptr_t handle_;  // the open temporary file; the platform's "none" when closed
  FileTrouble trouble_;
};

// `count` letters picked at random from `letters`.
std::string RandomLetters(std::string_view letters, std::size_t count);

// At most `limit` bytes of the file at `path` (a symbolic link is followed).
// A folder, a device, a pipe or a socket is refused without being waited on.
FileText ReadFileText(const std::string& path, std::size_t limit);

}  // namespace korimo::cli
