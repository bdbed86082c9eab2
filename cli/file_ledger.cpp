// The file ledger: the provision log, locked for writing from reading its
// newest lines to appending a claim (see file_calls::OpenLocked).
#include <algorithm>
#include <utility>

#include "cli/entries.h"
#include "cli/file_calls.h"
#include "cli/ledger.h"
#include "cli/safe_files.h"
#include "cli/workshop.h"

namespace korimo::cli {
namespace {

// The log, open and locked for writing until destroyed.
struct LockedLog {
  explicit LockedLog(const std::string& path) : file(file_calls::OpenLocked(path, trouble)) {}
  ~LockedLog() {
    if (file != file_calls::kClosed) {
      static_cast<void>(file_calls::Close(file));
    }
  }
  LockedLog(const LockedLog&) = delete;
  LockedLog& operator=(const LockedLog&) = delete;

  FileTrouble trouble;
  file_calls::Handle file;
};

class FileLedger final : public SerialLedger {
 public:
  explicit FileLedger(std::string path) : path_(std::move(path)) {}

  std::string Name() const override { return "the log " + EchoPath(path_); }

  LedgerAnswer Look(SerialRange range) override {
    LedgerAnswer failed;
    LockedLog file(path_);
    const std::optional<ProvisionLog> log = ReadLocked(file, failed.trouble);
    return log ? Next(*log, range) : failed;
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
      if (const FileTrouble trouble =
              Append(file, log->lines == 0,
                     FormatLogLine({board.time, board.device_path, answer.claim->serial,
                                    board.model, false, 0, true}))) {
        answer.claim.reset();
        answer.trouble = Cannot("written", trouble);
      }
    }
    return answer;
  }

  std::string Record(const LedgerClaim& claim, const LedgerBoard& board, bool stored,
                     std::uint32_t cells_differed) override {
    LockedLog file(path_);
    FileTrouble trouble = file.trouble;
    if (!trouble) {
      // A station's own record (--log beside --ledger) starts with its result lines.
      const FileText start = file_calls::ReadFromStart(file.file, 1);
      trouble = start.trouble;
      if (!trouble) {
        trouble = Append(file, start.text.empty(),
                         FormatLogLine({board.time, board.device_path, claim.serial, board.model,
                                        stored, cells_differed, false}));
      }
    }
    return trouble ? Cannot("written", trouble) : "";
  }

 private:
  // Appends `line` at the end, after the log's header in an empty log, and
  // flushes it to the disk.
  static FileTrouble Append(const LockedLog& file, bool empty, const std::string& line) {
    return {file_calls::AppendAndFlush(file.file,
                                       empty ? std::string(kLogHeader) + '\n' + line : line)};
  }

  std::string Cannot(std::string_view what, const FileTrouble& trouble) const {
    return Name() + " cannot be " + std::string(what) + ". " +
           (trouble.not_a_file == PathKind::kSymlink
                ? "It is a symbolic link, which the log never follows."
                : Sentence(trouble));
  }

  std::optional<ProvisionLog> ReadLocked(const LockedLog& file, std::string& trouble) const {
    if (file.trouble) {
      trouble = Cannot("opened", file.trouble);
      return std::nullopt;
    }
    // One byte more than a log may have, so that a larger file is known as one.
    const FileText text = file_calls::ReadFromStart(file.file, kLargestLog + 1);
    if (text.trouble) {
      trouble = Cannot("read", text.trouble);
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
  return station.substr(0, 32) + '-' + RandomLetters("0123456789abcdef", 24);
}

std::unique_ptr<SerialLedger> OpenFileLedger(const std::string& path) {
  return std::make_unique<FileLedger>(path);
}

}  // namespace korimo::cli
