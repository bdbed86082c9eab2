// backup, restore and diff: the whole parameter memory against a backup file,
// and the read-back check that set --verify and restore share.
#include <algorithm>
#include <memory>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "cli/backup_file.h"
#include "cli/commands.h"
#include "cli/entries.h"
#include "cli/history.h"
#include "cli/safe_files.h"
#include "config/memory_map.h"
#include "config/numeric.h"
#include "config/plan_runner.h"
#include "config/service_texts.h"

namespace korimo::cli {
namespace {

constexpr std::size_t kListedMismatches = 10;

}  // namespace

int ReadAllCells(Session& session, modKT90& kt90, Cells& cells, const std::string& consequence) {
  const bool progress = session.ErrIsTerminal();
  std::array<std::uint8_t, kCellCount> addresses{};
  std::iota(addresses.begin(), addresses.end(), std::uint8_t{0});
  const CellRun read = ReadCells(kt90, addresses, RunStop::kAtFirstMiss, [&](std::size_t address) {
    if (progress && address % 16 == 0) {
      session.Err() << "\rReading the parameter memory: " << address << " of " << kCellCount
                    << " cells" << std::flush;
    }
  });
  if (read.reached != kCellCount) {
    const auto cell = static_cast<std::uint8_t>(read.tried - 1);
    if (progress) {
      session.Err() << '\n';
    }
    if (session.TimedOut("the memory was read up to " + HexByte(cell))) {
      return kExitTimedOut;
    }
    return session.NoAnswer("cell " + HexByte(cell), consequence);
  }
  std::ranges::transform(read.values, cells.begin(), [](const auto& value) { return *value; });
  if (progress) {
    session.Err() << "\r" << std::string(48, ' ') << '\r' << std::flush;
  }
  return kExitOk;
}

namespace {

// The backup in `path`, or nothing once the user has been told why.
std::optional<Backup> LoadBackup(Session& session, const std::string& path) {
  // One byte more than a backup may have, so that a larger file is known as one.
  const FileText file = ReadFileText(path, kLargestBackup + 1);
  if (file.trouble) {
    session.Err() << EchoPath(path) << " cannot be read. " << Sentence(file.trouble) << '\n';
    return std::nullopt;
  }
  BackupParse parsed = ParseBackup(file.text);
  if (!parsed.backup) {
    session.Err() << "The backup " << EchoPath(path) << " is refused: " << parsed.error << '\n';
    return std::nullopt;
  }
  return std::move(parsed.backup);
}

// What restore and diff start from: the backup in `path`, the engraver and
// all its cells now.
struct BackupAndEngraver {
  std::optional<Backup> backup;
  modKT90* kt90 = nullptr;
  Cells now{};
};

// kExitOk with `both` filled in, else the exit code once the user has been told why.
int LoadAndRead(Session& session, const std::string& path, BackupAndEngraver& both,
                const std::string& consequence) {
  both.backup = LoadBackup(session, path);
  if (!both.backup) {
    return kExitRefused;
  }
  both.kt90 = session.Connect();
  if (both.kt90 == nullptr) {
    return session.ConnectFailure();
  }
  return ReadAllCells(session, *both.kt90, both.now, consequence);
}

}  // namespace

int VerifyCells(Session& session, modKT90& kt90, std::span<const CellValue> wanted) {
  const ReadBack back = ReadBackCells(kt90, wanted, RunStop::kWhenGaveUp);
  if (back.run.gave_up && session.TimedOut("the verification stopped at " +
                                           HexByte(wanted[back.run.tried - 1].first))) {
    return kExitTimedOut;
  }
  const std::size_t differ = back.differ.size();
  const std::size_t unread = back.unanswered.size();
  if (differ + unread == 0) {
    session.Out() << "Verified: the " << wanted.size() << " cells read back as written.\n";
    return kExitOk;
  }
  std::ostream& err = session.Err();
  err << "Verification failed:";
  if (differ > 0) {
    err << ' ' << differ << " of the " << wanted.size() << " cells differ"
        << (unread ? ";" : ".\n");
  }
  if (unread > 0) {
    err << ' ' << unread << " of the " << wanted.size()
        << " cells could not be read back (the engraver did not answer";
    if (!kt90.NoAnswerReason().empty()) {
      err << ": " << kt90.NoAnswerReason();
    }
    err << ").\n";
  }
  std::vector<std::string> lines;
  for (const std::size_t i : back.differ) {
    lines.push_back(HexByte(wanted[i].first) + ": wanted " + HexByte(wanted[i].second) +
                    ", found " + HexByte(*back.run.values[i]));
  }
  for (const std::size_t i : back.unanswered) {
    lines.push_back(HexByte(wanted[i].first) + ": could not be read back");
  }
  for (std::size_t i = 0; i < lines.size() && i < kListedMismatches; ++i) {
    err << "  " << lines[i] << '\n';
  }
  if (lines.size() > kListedMismatches) {
    err << "  ... and " << lines.size() - kListedMismatches << " more\n";
  }
  // A cell that is known to differ outweighs one that could not be read.
  return differ > 0 ? kExitDiffers : kExitNoAnswer;
}

std::unique_ptr<ReplacementFile> NewFileFor(Session& session, const std::string& path,
                                            std::string_view what) {
  std::error_code error;
  const PathKind standing = KindAt(path, error);
  if (error) {
    session.Err() << EchoPath(path) << " cannot be written. " << Sentence({error}) << '\n';
    return nullptr;
  }
  if (!Replaceable(standing)) {
    session.Err() << EchoPath(path) << " is " << KindName(standing)
                  << "; --force replaces only a file (" << what << ").\n";
    return nullptr;
  }
  if (standing != PathKind::kNothing && !session.Line().Has("--force")) {
    session.Err() << EchoPath(path) << " exists; give --force to replace it.\n";
    return nullptr;
  }
  auto file = std::make_unique<ReplacementFile>(path);
  if (file->Trouble()) {
    session.Err() << EchoPath(path) << " cannot be written. " << Sentence(file->Trouble()) << '\n';
    return nullptr;
  }
  return file;
}

int RunBackup(Session& session, std::span<const std::string> operands) {
  const std::string& path = operands[0];
  // Created before the engraver is read, so a folder that cannot take the
  // file is known at once; renamed onto the target only once whole on the
  // disk, so a failed write leaves an older backup as it was.
  const std::unique_ptr<ReplacementFile> file = NewFileFor(session, path, "an older backup");
  if (!file) {
    return kExitRefused;
  }
  modKT90* kt90 = session.Connect();
  if (kt90 == nullptr) {
    return session.ConnectFailure();
  }
  Backup backup;
  backup.device_path = kt90->DevicePath();
  backup.time = session.GetPacer().UtcNow();
  if (const int failed = ReadAllCells(session, *kt90, backup.cells, "no backup was written");
      failed != kExitOk) {
    return failed;
  }
  if (const FileTrouble trouble = file->Commit(FormatBackup(backup))) {
    session.Err() << EchoPath(path) << " cannot be written. " << Sentence(trouble) << '\n';
    return kExitRefused;
  }
  session.Out() << "The " << kCellCount << " cells of " << EchoPath(backup.device_path)
                << " are in " << EchoPath(path) << ".\n";
  return kExitOk;
}

int RunRestore(Session& session, std::span<const std::string> operands) {
  BackupAndEngraver both;
  if (const int refused = LoadAndRead(session, operands[0], both, "nothing was restored");
      refused != kExitOk) {
    return refused;
  }
  return RestoreCells(session, *both.kt90, both.now, *both.backup, "restore", false);
}

int RestoreCells(Session& session, modKT90& kt90, const Cells& now, const Backup& backup,
                 std::string_view command, bool same_board) {
  const bool identity = session.Line().Has("--include-identity");
  // A backup of another board must not give this one the other's serial number.
  const std::uint16_t own_serial = SerialNumberOf(now);
  const bool keep_serial =
      !same_board && own_serial != backup.SerialNumber() && !session.Line().Has("--include-serial");
  if (keep_serial) {
    session.Out() << "The backup's serial number " << FiveDigits(backup.SerialNumber())
                  << " is not the engraver's (" << FiveDigits(own_serial)
                  << "): 0x05 and 0x06 are left as they are; give --include-serial to copy it "
                     "too.\n";
  }
  std::vector<CellValue> changes;
  for (std::size_t address = 0; address < kCellCount; ++address) {
    if (now[address] == backup.cells[address] ||
        (keep_serial &&
         (address == memory::kSerialNumber || address == memory::kSerialNumber + 1u))) {
      continue;
    }
    if (address == memory::kUsbIdentity && !identity) {
      session.Out() << HexByte(memory::kUsbIdentity)
                    << " (the USB identity) differs and is left as it is; give "
                       "--include-identity to restore it too.\n";
      continue;
    }
    changes.emplace_back(static_cast<std::uint8_t>(address), backup.cells[address]);
  }
  for (const auto& [address, value] : changes) {
    session.Out() << HexByte(address) << ": " << HexByte(now[address]) << " -> " << HexByte(value)
                  << '\n';
  }
  if (changes.empty()) {
    session.Out() << "Nothing to restore: the engraver holds the backup's cells.\n";
    return kExitOk;
  }
  if (session.Line().Has("--dry-run")) {
    session.Out() << changes.size() << " cells would change; nothing was written.\n";
    return kExitOk;
  }
  if (const int refused = KeepHistory(session, kt90, command, now, changes); refused != kExitOk) {
    return refused;
  }
  const CellRun run = WriteCells(kt90, changes, RunStop::kWhenGaveUp);
  if (run.gave_up &&
      session.TimedOut("the restore stopped at " + HexByte(changes[run.tried - 1].first))) {
    return kExitTimedOut;
  }
  if (run.reached != changes.size()) {
    session.Err() << NotDeliveredMessage(run.reached, changes.size(), "cells", "Restore") << '\n';
    return kExitCutShort;
  }
  session.Out() << "Restored " << changes.size() << " cells.\n";
  return VerifyCells(session, kt90, changes);
}

int RunDiff(Session& session, std::span<const std::string> operands) {
  BackupAndEngraver both;
  if (const int refused = LoadAndRead(session, operands[0], both, "nothing was compared");
      refused != kExitOk) {
    return refused;
  }
  const std::optional<Backup>& backup = both.backup;
  const Cells& now = both.now;
  std::size_t differing = 0;
  for (std::size_t address = 0; address < kCellCount; ++address) {
    if (now[address] != backup->cells[address]) {
      ++differing;
      session.Out() << HexByte(static_cast<std::uint8_t>(address)) << ": engraver "
                    << HexByte(now[address]) << ", backup " << HexByte(backup->cells[address])
                    << '\n';
    }
  }
  if (differing == 0) {
    session.Out() << "The engraver's " << kCellCount << " cells match the backup.\n";
    return kExitOk;
  }
  if (SerialNumberOf(now) != backup->SerialNumber()) {
    session.Out() << "The serial numbers differ (engraver " << FiveDigits(SerialNumberOf(now))
                  << ", backup " << FiveDigits(backup->SerialNumber())
                  << "): restore keeps the engraver's own unless --include-serial.\n";
  }
  session.Out() << differing << " of the " << kCellCount << " cells differ.\n";
  return kExitDiffers;
}

}  // namespace korimo::cli
