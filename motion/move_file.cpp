#include "motion/move_file.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>  // the C runtime's directory lookup, with the entry's attributes
#endif

namespace korimo {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

enum class Peek { kData, kEnd, kError };

// Whether another record starts here, without consuming it.
Peek PeekNext(std::FILE* file) {
  const int c = std::fgetc(file);
  if (c == EOF) {
    return std::ferror(file) ? Peek::kError : Peek::kEnd;
  }
  std::ungetc(c, file);
  return Peek::kData;
}

// Reads exactly buffer.size() bytes; kEnd when the file stops short.
Peek ReadExactly(std::FILE* file, std::span<std::uint8_t> buffer) {
  const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
  if (got == buffer.size()) {
    return Peek::kData;
  }
  return std::ferror(file) ? Peek::kError : Peek::kEnd;
}

// A normal file stands at `path`: no directory, device or other special entry,
// and on Windows neither a hidden nor a system file. Linux has no such marks;
// a name starting with a dot is an ordinary file there.
bool IsNormalFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return false;
  }
#ifdef _WIN32
  // The lookup takes wildcards; a path holding one names no single file.
  if (path.find_first_of("*?") != std::string::npos) {
    return false;
  }
  __finddata64_t found{};
  const intptr_t search = _findfirst64(path.c_str(), &found);
  if (search == -1) {
    return false;
  }
  _findclose(search);
  return (found.attrib & (_A_HIDDEN | _A_SYSTEM | _A_SUBDIR)) == 0;
#else
  return true;
#endif
}

MoveFileResult Report(Prompts& prompts, std::string_view message, MoveFileResult result) {
  prompts.ShowMessage(std::string(message), "", MessageButtons::kOk, MessageAnswer::kOk);
  return result;
}

}  // namespace

MoveFileResult PlayMoveFile(const std::string& path, modKT90& board, Prompts& prompts) {
  if (!IsNormalFile(path)) {
    return Report(prompts, kMoveFileMissing, MoveFileResult::kMissing);
  }
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    return Report(prompts, kMoveFileUnreadable, MoveFileResult::kUnreadable);
  }

  for (;;) {
    switch (PeekNext(file.get())) {
      case Peek::kEnd:
        return MoveFileResult::kWalked;
      case Peek::kError:
        return Report(prompts, kMoveFileUnreadable, MoveFileResult::kUnreadable);
      case Peek::kData:
        break;
    }

    // One record per idle report; when idle at the first question no events
    // run. A record goes out only after a whole packet said idle.
    BusyState state = board.IsControllerBusy();
    while (state == BusyState::kBusy) {
      board.Pump().DoEvents();
      state = board.IsControllerBusy();
    }
    if (state == BusyState::kNoAnswer) {
      return MoveFileResult::kNoAnswer;  // as for an unplugging: nothing is shown
    }

    // The record goes out whole, its two length bytes included.
    std::vector<std::uint8_t> record(2);
    Peek got = ReadExactly(file.get(), record);
    if (got == Peek::kData) {
      record.resize(2 + record[0] * 256u + record[1]);
      got = ReadExactly(file.get(), std::span(record).subspan(2));
    }
    if (got != Peek::kData) {
      return got == Peek::kError ? Report(prompts, kMoveFileUnreadable, MoveFileResult::kUnreadable)
                                 : Report(prompts, kMoveFileDamaged, MoveFileResult::kDamaged);
    }
    board.SendPacket(record);
  }
}

}  // namespace korimo
