#include "cli/safe_files.h"

#include <filesystem>
#include <random>
#include <utility>

#include "cli/file_calls.h"

namespace korimo::cli {
namespace {

// Names tried for the temporary file before giving up: the first is the
// target's name with ".partial", the others add random letters.
constexpr std::size_t kNameAttempts = 16;

std::string CandidateName(const std::string& target, std::size_t attempt) {
  std::string name = target + ".partial";
  if (attempt == 0) {
    return name;
  }
  static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  name += '-';
  for (int i = 0; i < 8; ++i) {
    name += kLetters[pick(random)];
  }
  return name;
}

PathKind KindOf(std::filesystem::file_type type) {
  using std::filesystem::file_type;
  switch (type) {
    case file_type::not_found:
      return PathKind::kNothing;
    case file_type::regular:
      return PathKind::kFile;
    case file_type::symlink:
      return PathKind::kSymlink;
    case file_type::directory:
      return PathKind::kFolder;
    case file_type::block:
    case file_type::character:
      return PathKind::kDevice;
    case file_type::fifo:
      return PathKind::kPipe;
    case file_type::socket:
      return PathKind::kSocket;
    default:
      return PathKind::kOther;
  }
}

}  // namespace

PathKind KindAt(const std::string& path, std::error_code& error) {
  const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    error.clear();
    return PathKind::kNothing;
  }
  return error ? PathKind::kNothing : KindOf(status.type());
}

bool Replaceable(PathKind kind) {
  return kind == PathKind::kNothing || kind == PathKind::kFile || kind == PathKind::kSymlink;
}

ReplacementFile::ReplacementFile(std::string target)
    : target_(std::move(target)), handle_(file_calls::kClosed) {
  for (std::size_t attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = CandidateName(target_, attempt);
    std::error_code error;
    handle_ = file_calls::CreateExclusive(name, error);
    if (handle_ != file_calls::kClosed) {
      temporary_ = name;
      return;
    }
    if (error != std::errc::file_exists) {
      trouble_.error = error;
      return;
    }
  }
  trouble_.error = std::make_error_code(std::errc::file_exists);
}

ReplacementFile::~ReplacementFile() {
  Discard();
}

void ReplacementFile::Discard() {
  if (handle_ != file_calls::kClosed) {
    static_cast<void>(file_calls::Close(handle_));
    handle_ = file_calls::kClosed;
  }
  if (!temporary_.empty()) {
    file_calls::Remove(temporary_);
    temporary_.clear();
  }
}

FileTrouble ReplacementFile::Commit(std::string_view text) {
  return Put(text, true);
}

FileTrouble ReplacementFile::CommitNew(std::string_view text) {
  return Put(text, false);
}

FileTrouble ReplacementFile::Put(std::string_view text, bool replace) {
  if (trouble_ || handle_ == file_calls::kClosed) {
    return trouble_ ? trouble_ : FileTrouble{std::make_error_code(std::errc::bad_file_descriptor)};
  }
  FileTrouble result;
  result.error = file_calls::WriteAndFlush(handle_, text);
  const std::error_code closed = file_calls::Close(handle_);
  handle_ = file_calls::kClosed;
  if (!result.error) {
    result.error = closed;
  }
  if (!result.error && replace) {
    const PathKind kind = KindAt(target_, result.error);
    if (!result.error && !Replaceable(kind)) {
      result.not_a_file = kind;
    }
  }
  if (!result) {
    result.error = replace ? file_calls::MoveOnto(temporary_, target_)
                           : file_calls::MoveToNewName(temporary_, target_);
  }
  if (!result) {
    temporary_.clear();  // it is the target now
  }
  Discard();
  return result;
}

FileText ReadFileText(const std::string& path, std::size_t limit) {
  return file_calls::ReadText(path, limit);
}

}  // namespace korimo::cli
