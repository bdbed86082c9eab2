// The file ledger: the provision log, locked for writing from reading its
// newest lines to appending a claim. The lock is a POSIX record lock (fcntl)
// on Linux and LockFileEx on Windows; Wine maps the one onto the other, so a
// Linux and a Windows program on one file honour each other's lock (BSD flock
// would not be seen).
#include <algorithm>
#include <random>
#include <utility>

#include "cli/entries.h"
#include "cli/ledger.h"
#include "cli/safe_files.h"
#include "cli/workshop.h"

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

// The log, open and locked for writing until destroyed. A symbolic link at
// the path is never followed, and a device or a pipe is never opened.
class LockedLog {
 public:
  explicit LockedLog(const std::string& path);
  ~LockedLog();
  LockedLog(const LockedLog&) = delete;
  LockedLog& operator=(const LockedLog&) = delete;

  const FileTrouble& Trouble() const { return trouble_; }
  // The whole file, at most `limit` bytes.
  FileText Read(std::size_t limit);
  // Appends `text` at the end and flushes it to the disk.
  FileTrouble Append(std::string_view text);

 private:
#ifdef _WIN32
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool locked_ = false;
#else
  int file_ = -1;
#endif
  FileTrouble trouble_;
};

#ifdef _WIN32

std::error_code LastError() {
  switch (const DWORD code = GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return std::make_error_code(std::errc::device_or_resource_busy);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    default:
      return {static_cast<int>(code), std::system_category()};
  }
}

LockedLog::LockedLog(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      trouble_.not_a_file = PathKind::kSymlink;
      return;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      trouble_.not_a_file = PathKind::kFolder;
      return;
    }
  }
  file_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) {
    trouble_.error = LastError();
    return;
  }
  switch (GetFileType(file_)) {
    case FILE_TYPE_DISK:
      break;
    case FILE_TYPE_CHAR:
      trouble_.not_a_file = PathKind::kDevice;
      return;
    case FILE_TYPE_PIPE:
      trouble_.not_a_file = PathKind::kPipe;
      return;
    default:
      trouble_.not_a_file = PathKind::kOther;
      return;
  }
  OVERLAPPED whole{};
  if (!LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
    trouble_.error = LastError();
    return;
  }
  locked_ = true;
}

LockedLog::~LockedLog() {
  if (file_ != INVALID_HANDLE_VALUE) {
    if (locked_) {
      OVERLAPPED whole{};
      UnlockFileEx(file_, 0, MAXDWORD, MAXDWORD, &whole);
    }
    CloseHandle(file_);
  }
}

FileText LockedLog::Read(std::size_t limit) {
  FileText result;
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file_, start, nullptr, FILE_BEGIN)) {
    result.trouble.error = LastError();
    return result;
  }
  result.text.resize(limit);
  std::size_t got = 0;
  while (got < limit) {
    DWORD read = 0;
    const auto size = static_cast<DWORD>(std::min<std::size_t>(limit - got, 1 << 20));
    if (!ReadFile(file_, result.text.data() + got, size, &read, nullptr)) {
      result.trouble.error = LastError();
      break;
    }
    if (read == 0) {
      break;
    }
    got += read;
  }
  result.text.resize(got);
  return result;
}

FileTrouble LockedLog::Append(std::string_view text) {
  FileTrouble trouble;
  LARGE_INTEGER none{};
  if (!SetFilePointerEx(file_, none, nullptr, FILE_END)) {
    trouble.error = LastError();
    return trouble;
  }
  while (!text.empty()) {
    DWORD written = 0;
    if (!WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written == 0) {
      trouble.error = LastError();
      return trouble;
    }
    text.remove_prefix(written);
  }
  if (!FlushFileBuffers(file_)) {
    trouble.error = LastError();
  }
  return trouble;
}

#else

std::error_code Errno() {
  return {errno, std::generic_category()};
}

LockedLog::LockedLog(const std::string& path) {
  // Non-blocking, so that a pipe placed at the path is not waited on.
  file_ =
      open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
  if (file_ < 0) {
    if (errno == ELOOP) {
      trouble_.not_a_file = PathKind::kSymlink;
    } else if (errno == EISDIR) {
      trouble_.not_a_file = PathKind::kFolder;
    } else {
      trouble_.error = Errno();
    }
    return;
  }
  struct stat status {};
  if (fstat(file_, &status) != 0) {
    trouble_.error = Errno();
    return;
  }
  if (!S_ISREG(status.st_mode)) {
    trouble_.not_a_file = S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) ? PathKind::kDevice
                          : S_ISFIFO(status.st_mode) ? PathKind::kPipe
                          : S_ISSOCK(status.st_mode) ? PathKind::kSocket
                                                     : PathKind::kOther;
    return;
  }
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  while (fcntl(file_, F_SETLKW, &whole) != 0) {
    if (errno != EINTR) {
      trouble_.error = Errno();
      return;
    }
  }
}

LockedLog::~LockedLog() {
  if (file_ >= 0) {
    close(file_);  // releases the lock
  }
}

FileText LockedLog::Read(std::size_t limit) {
  FileText result;
  result.text.resize(limit);
  std::size_t got = 0;
  while (got < limit) {
    const ssize_t read =
        pread(file_, result.text.data() + got, limit - got, static_cast<off_t>(got));
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
  result.text.resize(got);
  return result;
}

FileTrouble LockedLog::Append(std::string_view text) {
  FileTrouble trouble;
  while (!text.empty()) {
    const ssize_t written = write(file_, text.data(), text.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      trouble.error = written < 0 ? Errno() : std::make_error_code(std::errc::no_space_on_device);
      return trouble;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  if (fsync(file_) != 0) {
    trouble.error = Errno();
  }
  return trouble;
}

#endif

std::string TroubleSentence(const FileTrouble& trouble) {
  return trouble.not_a_file == PathKind::kSymlink
             ? "It is a symbolic link, which the log never follows."
             : Sentence(trouble);
}

class FileLedger final : public SerialLedger {
 public:
  explicit FileLedger(std::string path) : path_(std::move(path)) {}

  std::string Name() const override { return "the log " + EchoPath(path_); }

  LedgerAnswer Look(SerialRange range) override {
    LedgerAnswer answer;
    LockedLog file(path_);
    std::optional<ProvisionLog> log = ReadLocked(file, answer.trouble);
    if (log) {
      answer = Next(*log, range);
    }
    return answer;
  }

  std::optional<bool> NeverStored(std::uint16_t serial, std::string& trouble) override {
    LockedLog file(path_);
    const std::optional<ProvisionLog> log = ReadLocked(file, trouble);
    return log ? std::optional(log->OnlyFailed(serial)) : std::nullopt;
  }

  LedgerAnswer Claim(SerialRange range, const LedgerBoard& board) override {
    LedgerAnswer answer;
    LockedLog file(path_);
    const std::optional<ProvisionLog> log = ReadLocked(file, answer.trouble);
    if (!log) {
      return answer;
    }
    answer = Next(*log, range);
    if (answer.claim) {
      const std::string line = Line(board, answer.claim->serial, true, false, 0);
      if (const FileTrouble trouble = file.Append(log->lines == 0 ? Header() + line : line)) {
        answer.claim.reset();
        answer.trouble = Name() + " cannot be written. " + TroubleSentence(trouble);
      }
    }
    return answer;
  }

  std::string Record(const LedgerClaim& claim, const LedgerBoard& board, bool stored,
                     std::uint32_t cells_differed) override {
    LockedLog file(path_);
    FileTrouble trouble = file.Trouble();
    if (!trouble) {
      // A station's own record (--log beside --ledger) starts with its result lines.
      const FileText start = file.Read(1);
      trouble = start.trouble;
      if (!trouble) {
        const std::string line = Line(board, claim.serial, false, stored, cells_differed);
        trouble = file.Append(start.text.empty() ? Header() + line : line);
      }
    }
    return trouble ? Name() + " cannot be written. " + TroubleSentence(trouble) : "";
  }

 private:
  static std::string Header() { return std::string(kLogHeader) + '\n'; }

  static std::string Line(const LedgerBoard& board, std::uint16_t serial, bool claim, bool stored,
                          std::uint32_t cells_differed) {
    return FormatLogLine(
        {board.time, board.device_path, serial, board.model, stored, cells_differed, claim});
  }

  std::optional<ProvisionLog> ReadLocked(LockedLog& file, std::string& trouble) const {
    if (file.Trouble()) {
      trouble = Name() + " cannot be opened. " + TroubleSentence(file.Trouble());
      return std::nullopt;
    }
    // One byte more than a log may have, so that a larger file is known as one.
    const FileText text = file.Read(kLargestLog + 1);
    if (text.trouble) {
      trouble = Name() + " cannot be read. " + TroubleSentence(text.trouble);
      return std::nullopt;
    }
    ProvisionLog log = ParseLog(text.text);
    if (!log.error.empty()) {
      trouble = Name() + " is refused: " + log.error;
      return std::nullopt;
    }
    return log;
  }

  // The number after the highest that the log shows for the range, in any state.
  static LedgerAnswer Next(const ProvisionLog& log, SerialRange range) {
    LedgerAnswer answer;
    const auto highest = log.HighestUsed(range.first, range.last);
    if (!highest) {
      answer.claim = LedgerClaim{range.first, {}};
    } else if (highest->first < range.last) {
      answer.claim = LedgerClaim{static_cast<std::uint16_t>(highest->first + 1), {}};
    } else {
      answer.used_up = true;
      const std::optional<std::size_t> stored = log.StoredAt(highest->first);
      const bool failed = std::any_of(log.failed.begin(), log.failed.end(), [&](const auto& entry) {
        return entry.second == highest->second;
      });
      answer.trouble = "the log shows " + FiveDigits(highest->first) +
                       (stored   ? " as stored"
                        : failed ? " as failed"
                                 : " as claimed") +
                       " (line " + std::to_string(stored.value_or(highest->second)) + ")";
    }
    return answer;
  }

  std::string path_;
};

}  // namespace

std::string NewClaimToken(const std::string& station) {
  static constexpr std::string_view kLetters = "0123456789abcdef";
  std::random_device random;
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string token = station.substr(0, 32) + '-';
  for (int i = 0; i < 24; ++i) {
    token += kLetters[pick(random)];
  }
  return token;
}

std::unique_ptr<SerialLedger> OpenFileLedger(const std::string& path) {
  return std::make_unique<FileLedger>(path);
}

}  // namespace korimo::cli
