#include "cli/safe_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>
#include <utility>

#ifdef _WIN32
#include "win32/windows_api.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace korimo::cli {
namespace {

// A closed file: -1 is also the value of INVALID_HANDLE_VALUE.
constexpr std::intptr_t kClosed = -1;
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

// The system's own words, as a sentence.
std::string SystemSentence(const std::error_code& error) {
  std::string text = error.message();
  while (!text.empty() &&
         (std::isspace(static_cast<unsigned char>(text.back())) != 0 || text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) {
    return "The system reports error " + std::to_string(error.value()) + ".";
  }
  text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text + '.';
}

// The platform's file calls: create exclusively, write and flush, close,
// rename onto a target, remove, and read a file that is no device or pipe.
#ifdef _WIN32

std::error_code WindowsError(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::make_error_code(std::errc::file_exists);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_WRITE_PROTECT:
      return std::make_error_code(std::errc::read_only_file_system);
    case ERROR_FILENAME_EXCED_RANGE:
      return std::make_error_code(std::errc::filename_too_long);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return std::make_error_code(std::errc::device_or_resource_busy);
    case ERROR_CANT_RESOLVE_FILENAME:
      return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    default:
      return {static_cast<int>(code), std::system_category()};
  }
}

std::error_code LastError() {
  return WindowsError(GetLastError());
}

HANDLE AsHandle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// A reparse point (a symbolic link) at `name` counts as taken, not followed.
std::intptr_t CreateExclusive(const std::string& name, std::error_code& error) {
  const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = LastError();
    return kClosed;
  }
  return reinterpret_cast<std::intptr_t>(file);
}

std::error_code WriteAndFlush(std::intptr_t handle, std::string_view text) {
  constexpr std::size_t kChunk = 1 << 20;
  while (!text.empty()) {
    DWORD written = 0;
    const auto size = static_cast<DWORD>(std::min(text.size(), kChunk));
    if (!WriteFile(AsHandle(handle), text.data(), size, &written, nullptr)) {
      return LastError();
    }
    text.remove_prefix(written);
  }
  return FlushFileBuffers(AsHandle(handle)) ? std::error_code{} : LastError();
}

std::error_code CloseFile(std::intptr_t handle) {
  return CloseHandle(AsHandle(handle)) ? std::error_code{} : LastError();
}

std::error_code MoveOnto(const std::string& from, const std::string& to, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  return MoveFileExA(from.c_str(), to.c_str(), flags) ? std::error_code{} : LastError();
}

void RemoveName(const std::string& name) {
  DeleteFileA(name.c_str());
}

FileText ReadText(const std::string& path, std::size_t limit) {
  FileText result;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    result.trouble.not_a_file = PathKind::kFolder;
    return result;
  }
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    result.trouble.error = LastError();
    return result;
  }
  switch (GetFileType(file)) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_CHAR:
      result.trouble.not_a_file = PathKind::kDevice;
      break;
    case FILE_TYPE_PIPE:
      result.trouble.not_a_file = PathKind::kPipe;
      break;
    default:
      result.trouble.not_a_file = PathKind::kOther;
      break;
  }
  std::size_t got = 0;
  if (!result.trouble) {
    result.text.resize(limit);
    while (got < limit) {
      DWORD read = 0;
      const auto size = static_cast<DWORD>(std::min<std::size_t>(limit - got, 1 << 20));
      if (!ReadFile(file, result.text.data() + got, size, &read, nullptr)) {
        result.trouble.error = LastError();
        break;
      }
      if (read == 0) {
        break;
      }
      got += read;
    }
  }
  CloseHandle(file);
  result.text.resize(got);
  return result;
}

#else

std::error_code Errno() {
  return {errno, std::generic_category()};
}

PathKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) {
    return PathKind::kFile;
  }
  if (S_ISDIR(mode)) {
    return PathKind::kFolder;
  }
  if (S_ISCHR(mode) || S_ISBLK(mode)) {
    return PathKind::kDevice;
  }
  if (S_ISFIFO(mode)) {
    return PathKind::kPipe;
  }
  if (S_ISSOCK(mode)) {
    return PathKind::kSocket;
  }
  return PathKind::kOther;
}

// O_EXCL with O_CREAT never follows a symbolic link at `name`: it counts as taken.
std::intptr_t CreateExclusive(const std::string& name, std::error_code& error) {
  const int file =
      ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
  if (file < 0) {
    error = Errno();
    return kClosed;
  }
  return file;
}

std::error_code WriteAndFlush(std::intptr_t handle, std::string_view text) {
  const int file = static_cast<int>(handle);
  while (!text.empty()) {
    const ssize_t written = ::write(file, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return Errno();
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return ::fsync(file) == 0 ? std::error_code{} : Errno();
}

std::error_code CloseFile(std::intptr_t handle) {
  return ::close(static_cast<int>(handle)) == 0 ? std::error_code{} : Errno();
}

// Without `replace`, a second name that fails when `to` is taken (by anything,
// a symbolic link included), then the first name goes.
std::error_code MoveOnto(const std::string& from, const std::string& to, bool replace) {
  if (replace ? ::rename(from.c_str(), to.c_str()) != 0 : ::link(from.c_str(), to.c_str()) != 0) {
    return Errno();
  }
  if (!replace) {
    ::unlink(from.c_str());
  }
  // The new name itself reaches the disk with its folder. The file is in its
  // place either way, so a folder that cannot be flushed is no failure.
  std::filesystem::path folder = std::filesystem::path(to).parent_path();
  if (folder.empty()) {
    folder = ".";
  }
  const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    static_cast<void>(::fsync(directory));
    ::close(directory);
  }
  return {};
}

void RemoveName(const std::string& name) {
  ::unlink(name.c_str());
}

// Opened without waiting (a pipe with no writer would block), and checked
// both before and after the open, so the name cannot be swapped in between.
FileText ReadText(const std::string& path, std::size_t limit) {
  FileText result;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    result.trouble.error = Errno();
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.trouble.not_a_file = KindOfMode(info.st_mode);
    return result;
  }
  const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (file < 0) {
    result.trouble.error = Errno();
    return result;
  }
  std::size_t got = 0;
  if (::fstat(file, &info) != 0) {
    result.trouble.error = Errno();
  } else if (!S_ISREG(info.st_mode)) {
    result.trouble.not_a_file = KindOfMode(info.st_mode);
  } else {
    result.text.resize(limit);
    while (got < limit) {
      const ssize_t read = ::read(file, result.text.data() + got, limit - got);
      if (read < 0 && errno == EINTR) {
        continue;
      }
      if (read < 0) {
        result.trouble.error = Errno();
        break;
      }
      if (read == 0) {
        break;
      }
      got += static_cast<std::size_t>(read);
    }
  }
  ::close(file);
  result.text.resize(got);
  return result;
}

#endif

}  // namespace

std::string_view KindName(PathKind kind) {
  switch (kind) {
    case PathKind::kFolder:
      return "a folder";
    case PathKind::kDevice:
      return "a device";
    case PathKind::kPipe:
      return "a named pipe";
    case PathKind::kSocket:
      return "a socket";
    case PathKind::kNothing:
    case PathKind::kFile:
    case PathKind::kSymlink:
    case PathKind::kOther:
      break;
  }
  return "not a file";
}

std::string Sentence(const FileTrouble& trouble) {
  if (trouble.not_a_file != PathKind::kNothing) {
    const std::string_view name = KindName(trouble.not_a_file);
    return name == "not a file" ? "It is not a file."
                                : "It is " + std::string(name) + ", not a file.";
  }
  const std::error_code& error = trouble.error;
  using std::errc;
  static constexpr std::pair<errc, std::string_view> kReasons[] = {
      {errc::no_such_file_or_directory, "There is no such file or folder."},
      {errc::permission_denied, "Permission is denied."},
      {errc::operation_not_permitted, "Permission is denied."},
      {errc::is_a_directory, "It is a folder."},
      {errc::not_a_directory, "A part of the path is not a folder."},
      {errc::too_many_symbolic_link_levels,
       "Its symbolic links go round in a loop (or nest too deeply)."},
      {errc::no_space_on_device, "The disk is full."},
      {errc::read_only_file_system, "The disk is read-only."},
      {errc::filename_too_long, "The name is too long."},
      {errc::io_error, "The disk reports an input/output error."},
      {errc::device_or_resource_busy, "It is in use."},
      {errc::file_exists, "Every name for a temporary file beside it is taken."},
  };
  for (const auto& [code, reason] : kReasons) {
    if (error == code) {
      return std::string(reason);
    }
  }
  return SystemSentence(error);
}

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
    : target_(std::move(target)), handle_(kClosed) {
  for (std::size_t attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = CandidateName(target_, attempt);
    std::error_code error;
    handle_ = CreateExclusive(name, error);
    if (handle_ != kClosed) {
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
  if (handle_ != kClosed) {
    static_cast<void>(CloseFile(handle_));
    handle_ = kClosed;
  }
  if (!temporary_.empty()) {
    RemoveName(temporary_);
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
  if (trouble_ || handle_ == kClosed) {
    return trouble_ ? trouble_ : FileTrouble{std::make_error_code(std::errc::bad_file_descriptor)};
  }
  FileTrouble result;
  result.error = WriteAndFlush(handle_, text);
  const std::error_code closed = CloseFile(handle_);
  handle_ = kClosed;
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
    result.error = MoveOnto(temporary_, target_, replace);
  }
  if (!result) {
    temporary_.clear();  // it is the target now
  }
  Discard();
  return result;
}

FileText ReadFileText(const std::string& path, std::size_t limit) {
  return ReadText(path, limit);
}

}  // namespace korimo::cli
