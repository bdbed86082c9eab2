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

enum class Got { kData, kEnd, kError };

// Reads exactly buffer.size() bytes; kEnd when the file stops short.
Got ReadExactly(std::FILE* file, std::span<std::uint8_t> buffer) {
  const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
  if (got == buffer.size()) {
    return Got::kData;
  }
  return std::ferror(file) ? Got::kError : Got::kEnd;
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
  prompts.ShowNotice(message);
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
    // The record goes out whole, its two length bytes included. Its first
    // byte tells whether another record starts here.
    std::vector<std::uint8_t> record(2);
    const Got start = ReadExactly(file.get(), std::span(record).first(1));
    if (start != Got::kData) {
      return start == Got::kEnd ? MoveFileResult::kWalked
                                : Report(prompts, kMoveFileUnreadable, MoveFileResult::kUnreadable);
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

    Got got = ReadExactly(file.get(), std::span(record).subspan(1));
    if (got == Got::kData) {
      record.resize(2 + record[0] * 256u + record[1]);
      got = ReadExactly(file.get(), std::span(record).subspan(2));
    }
    if (got != Got::kData) {
      return got == Got::kError ? Report(prompts, kMoveFileUnreadable, MoveFileResult::kUnreadable)
                                : Report(prompts, kMoveFileDamaged, MoveFileResult::kDamaged);
    }
    board.SendPacket(record);
  }
}

}  // namespace korimo
