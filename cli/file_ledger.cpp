// The file ledger: the provision log, locked for writing from reading its
// newest lines to appending a claim (see file_calls::OpenLocked).
#include <algorithm>
#include <random>
#include <utility>

#include "cli/entries.h"
#include "cli/file_calls.h"
#include "cli/ledger.h"
#include "cli/safe_files.h"
#include "cli/workshop.h"

namespace korimo::cli {
namespace {

// The log, open and locked for writing until destroyed.
class LockedLog {
 public:
  explicit LockedLog(const std::string& path) : file_(file_calls::OpenLocked(path, trouble_)) {}
  ~LockedLog() {
    if (file_ != file_calls::kClosed) {
      static_cast<void>(file_calls::Close(file_));
    }
  }
  LockedLog(const LockedLog&) = delete;
  LockedLog& operator=(const LockedLog&) = delete;

  const FileTrouble& Trouble() const { return trouble_; }
  // The whole file, at most `limit` bytes.
  FileText Read(std::size_t limit) const { return file_calls::ReadFromStart(file_, limit); }
  // Appends `text` at the end and flushes it to the disk.
  FileTrouble Append(std::string_view text) const {
    return {file_calls::AppendAndFlush(file_, text)};
  }

 private:
  FileTrouble trouble_;
  file_calls::Handle file_;
};

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
