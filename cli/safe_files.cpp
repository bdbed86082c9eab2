#include "cli/safe_files.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <random>
#include <utility>

#include "cli/file_calls.h"

namespace korimo::cli {
namespace {

// Names tried for the temporary file before giving up: the first is the
// target's name with ".partial", the others add random letters.
constexpr std::size_t kNameAttempts = 16;

std::string CandidateName(const std::string& target, std::size_t attempt) {
  const std::string name = target + ".partial";
  return attempt == 0 ? name
                      : name + '-' + RandomLetters("abcdefghijklmnopqrstuvwxyz0123456789", 8);
}

}  // namespace

std::string RandomLetters(std::string_view letters, std::size_t count) {
  std::random_device random;
  std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
  std::string picked;
  while (picked.size() < count) {
    picked += letters[pick(random)];
  }
  return picked;
}

PathKind KindAt(const std::string& path, std::error_code& error) {
  using std::filesystem::file_type;
  static constexpr std::pair<file_type, PathKind> kKinds[] = {
      {file_type::regular, PathKind::kFile},     {file_type::symlink, PathKind::kSymlink},
      {file_type::directory, PathKind::kFolder}, {file_type::block, PathKind::kDevice},
      {file_type::character, PathKind::kDevice}, {file_type::fifo, PathKind::kPipe},
      {file_type::socket, PathKind::kSocket},
  };
  const file_type type = std::filesystem::symlink_status(path, error).type();
  if (type == file_type::not_found) {
    error.clear();
  }
  if (error || type == file_type::not_found) {
    return PathKind::kNothing;
  }
  const auto* kind = std::ranges::find(kKinds, type, &std::pair<file_type, PathKind>::first);
  return kind == std::end(kKinds) ? PathKind::kOther : kind->second;
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

FileTrouble ReplacementFile::Put(std::string_view text, bool replace) {
  if (trouble_ || handle_ == file_calls::kClosed) {
    return trouble_ ? trouble_ : FileTrouble{std::make_error_code(std::errc::bad_file_descriptor)};
  }
  FileTrouble result{file_calls::WriteAndFlush(handle_, text)};
  const std::error_code closed = file_calls::Close(std::exchange(handle_, file_calls::kClosed));
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

}  // namespace korimo::cli
