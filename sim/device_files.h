// The device file of the simulated engraver: a DeviceFiles back end that routes
// one attached device path to a Board. Reads return the board's status packet,
// writes are handed to the board as packets.
//
// Opens follow the platform's rules as far as the channel meets them: only the
// two parameter sets of the channel (kReadOpen, kWriteOpen) are accepted, and
// share modes are honoured, so an exclusive read handle keeps every other open
// out while it is open (and a read open fails while any handle is open). With
// no board attached (unplugged), or for any other path, opens fail; handles
// opened before an unplug fail every transfer afterwards.
//
// Named faults, each for the next N occurrences or for good:
//   FailOpens   the open fails (no handle)
//   FailReads   the read call fails; the buffer is left as it was
//   ShortReads  the read succeeds with fewer bytes than asked for
//   FailWrites  the write call fails; the board sees nothing
//   DropWrites  the write reports success, but the board never sees it
// and a latency per transfer: every Read and Write lets that much time pass on
// the clock (opens, flushes and closes cost nothing).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device/ports.h"
#include "sim/board.h"
#include "sim/clock.h"

namespace korimo::sim {

// How long an injected fault lasts.
class FaultSpan {
 public:
  static constexpr FaultSpan Times(std::uint32_t count) { return FaultSpan(count); }
  static constexpr FaultSpan Once() { return FaultSpan(1); }
  static constexpr FaultSpan ForGood() { return FaultSpan(kForGood); }
  static constexpr FaultSpan Never() { return FaultSpan(0); }

  // Uses up one occurrence; true when the fault strikes this time.
  bool Strike();

 private:
  static constexpr std::uint32_t kForGood = std::numeric_limits<std::uint32_t>::max();
  constexpr explicit FaultSpan(std::uint32_t remaining) : remaining_(remaining) {}
  std::uint32_t remaining_;
};

// Which opens an open fault hits.
enum class OpenKind { kAny, kRead, kWrite };

struct FileCounts {
  std::uint32_t opens = 0;           // handles handed out
  std::uint32_t failed_opens = 0;    // every open that gave no handle
  std::uint32_t reads = 0;           // Read calls
  std::uint32_t writes = 0;          // Write calls
  std::uint32_t flushes = 0;         // Flush calls
  std::uint32_t closes = 0;          // handles closed
  std::uint32_t bad_handles = 0;     // calls with a handle that is not open
  std::uint32_t short_reads = 0;     // reads cut short by the fault
  std::uint32_t dropped_writes = 0;  // writes the board never saw (fault)
  std::uint32_t open_handles = 0;    // handles open now
};

enum class FileEvent { kOpen, kOpenFailed, kRead, kWrite, kFlush, kClose };

struct FileLogEntry {
  FileEvent kind;
  std::string path;
  OpenParameters params;
  std::vector<std::uint8_t> bytes;  // read: the bytes delivered; write: the bytes written
};

class SimDeviceFiles final : public DeviceFiles {
 public:
  explicit SimDeviceFiles(Clock& clock) : clock_(clock) {}

  // Plugging: the board answers at `path` (compared ignoring case, as the
  // platform compares device paths) until it is detached.
  void Attach(Board& board, std::string path);
  void Detach();
  bool Attached() const { return board_ != nullptr; }
  const std::string& AttachedPath() const { return path_; }

  // DeviceFiles.
  std::optional<FileHandle> Open(const std::string& path, const OpenParameters& params) override;
  std::optional<std::size_t> Read(FileHandle file, std::span<std::uint8_t> buffer) override;
  bool Write(FileHandle file, std::span<const std::uint8_t> bytes) override;
  bool Flush(FileHandle file) override;
  void Close(FileHandle file) override;

  // Faults.
  void FailOpens(FaultSpan span, OpenKind kind = OpenKind::kAny) {
    faults_.fail_opens = span;
    faults_.fail_open_kind = kind;
  }
  void FailReads(FaultSpan span) { faults_.fail_reads = span; }
  // A short read delivers `bytes` bytes (fewer than asked for) and leaves the rest.
  void ShortReads(FaultSpan span, std::size_t bytes = 0) {
    faults_.short_reads = span;
    faults_.short_read_bytes = bytes;
  }
  void FailWrites(FaultSpan span) { faults_.fail_writes = span; }
  void DropWrites(FaultSpan span) { faults_.drop_writes = span; }
  void Latency(Micros per_transfer) { faults_.latency = per_transfer; }
  void ClearFaults() { faults_ = {}; }

  // Called at the start of every open, before it is judged; it may attach or
  // detach the board (tests unplug it between the probe and the data open).
  using OpenHook = std::function<void(const std::string& path, const OpenParameters& params)>;
  void SetOpenHook(OpenHook hook) { open_hook_ = std::move(hook); }

  // Accounting.
  const FileCounts& Counts() const { return counts_; }
  void ResetCounts();

  // The transaction log: off by default; keeps the latest `capacity` entries.
  void EnableLog(std::size_t capacity = 10000);
  void DisableLog() { log_capacity_ = 0; }
  const std::deque<FileLogEntry>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }

 private:
  struct OpenFile {
    std::string path;
    OpenParameters params;
    std::uint64_t plug;  // the attachment the handle was opened on
  };

  bool Conflicts(const OpenParameters& params) const;
  OpenFile* Live(FileHandle file);
  void Record(FileEvent kind, const std::string& path, const OpenParameters& params,
              std::span<const std::uint8_t> bytes = {});

  Clock& clock_;
  Board* board_ = nullptr;
  std::string path_;
  std::uint64_t plug_ = 0;
  std::map<FileHandle, OpenFile> files_;
  FileHandle next_handle_ = 0x1000;

  struct Faults {
    FaultSpan fail_opens = FaultSpan::Never();
    OpenKind fail_open_kind = OpenKind::kAny;
    FaultSpan fail_reads = FaultSpan::Never();
    FaultSpan short_reads = FaultSpan::Never();
    std::size_t short_read_bytes = 0;
    FaultSpan fail_writes = FaultSpan::Never();
    FaultSpan drop_writes = FaultSpan::Never();
    Micros latency{0};
  };
  Faults faults_;
  OpenHook open_hook_;

  FileCounts counts_;
  std::size_t log_capacity_ = 0;  // 0: not logging
  std::deque<FileLogEntry> log_;
};

}  // namespace korimo::sim
