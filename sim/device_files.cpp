#include "sim/device_files.h"

#include <algorithm>

namespace korimo::sim {
namespace {

constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kShareRead = 0x1u;
constexpr std::uint32_t kShareWrite = 0x2u;

bool Reads(const OpenParameters& params) {
  return (params.desired_access & kGenericRead) != 0;
}
bool Writes(const OpenParameters& params) {
  return (params.desired_access & kGenericWrite) != 0;
}

// True when a handle opened with `held` keeps an open with `wanted` out, or
// the other way round.
bool ShareConflict(const OpenParameters& held, const OpenParameters& wanted) {
  return (Reads(wanted) && (held.share_mode & kShareRead) == 0) ||
         (Writes(wanted) && (held.share_mode & kShareWrite) == 0) ||
         (Reads(held) && (wanted.share_mode & kShareRead) == 0) ||
         (Writes(held) && (wanted.share_mode & kShareWrite) == 0);
}

}  // namespace

bool FaultSpan::Strike() {
  const bool strikes = remaining_ != 0;
  if (strikes && remaining_ != kForGood) {
    --remaining_;
  }
  return strikes;
}

void SimDeviceFiles::Attach(Board& board, std::string path) {
  board_ = &board;
  path_ = std::move(path);
  ++plug_;
}

void SimDeviceFiles::Detach() {
  board_ = nullptr;
  ++plug_;
}

bool SimDeviceFiles::Conflicts(const OpenParameters& params) const {
  return std::any_of(files_.begin(), files_.end(), [&](const auto& entry) {
    return entry.second.plug == plug_ && ShareConflict(entry.second.params, params);
  });
}

std::optional<FileHandle> SimDeviceFiles::Open(const std::string& path,
                                               const OpenParameters& params) {
  if (open_hook_) {
    open_hook_(path, params);
  }
  const bool known_params = params == kReadOpen || params == kWriteOpen;
  const bool reachable = board_ != nullptr && SameDevicePath(path, path_);
  const bool hit_by_fault = faults_.fail_open_kind == OpenKind::kAny ||
                            (faults_.fail_open_kind == OpenKind::kRead && params == kReadOpen) ||
                            (faults_.fail_open_kind == OpenKind::kWrite && params == kWriteOpen);
  // A fault strikes only opens that would otherwise succeed.
  if (!known_params || !reachable || Conflicts(params) ||
      (hit_by_fault && faults_.fail_opens.Strike())) {
    ++counts_.failed_opens;
    Record(FileEvent::kOpenFailed, path, params);
    return std::nullopt;
  }
  const FileHandle handle = next_handle_++;
  files_.emplace(handle, OpenFile{path, params, plug_});
  ++counts_.opens;
  counts_.open_handles = static_cast<std::uint32_t>(files_.size());
  Record(FileEvent::kOpen, path, params);
  return handle;
}

SimDeviceFiles::OpenFile* SimDeviceFiles::Live(FileHandle file) {
  const auto found = files_.find(file);
  if (found == files_.end()) {
    ++counts_.bad_handles;
    return nullptr;
  }
  // A handle from before an unplug reaches no device any more.
  if (board_ == nullptr || found->second.plug != plug_) {
    return nullptr;
  }
  return &found->second;
}

std::optional<std::size_t> SimDeviceFiles::Read(FileHandle file, std::span<std::uint8_t> buffer) {
  ++counts_.reads;
  const OpenFile* open = Live(file);
  if (open == nullptr || !Reads(open->params)) {
    return std::nullopt;
  }
  clock_.Sleep(faults_.latency);
  if (faults_.fail_reads.Strike()) {
    return std::nullopt;
  }
  const auto status = board_->Status();
  std::size_t count = std::min(buffer.size(), status.size());
  if (count > 0 && faults_.short_reads.Strike()) {
    count = std::min(faults_.short_read_bytes, count - 1);
    ++counts_.short_reads;
  }
  std::copy_n(status.begin(), count, buffer.begin());
  Record(FileEvent::kRead, open->path, open->params, buffer.first(count));
  return count;
}

bool SimDeviceFiles::Write(FileHandle file, std::span<const std::uint8_t> bytes) {
  ++counts_.writes;
  const OpenFile* open = Live(file);
  if (open == nullptr || !Writes(open->params)) {
    return false;
  }
  clock_.Sleep(faults_.latency);
  if (faults_.fail_writes.Strike()) {
    return false;
  }
  Record(FileEvent::kWrite, open->path, open->params, bytes);
  if (faults_.drop_writes.Strike()) {
    ++counts_.dropped_writes;
    return true;
  }
  board_->Receive(bytes);
  return true;
}

bool SimDeviceFiles::Flush(FileHandle file) {
  ++counts_.flushes;
  const OpenFile* open = Live(file);
  if (open == nullptr || !Writes(open->params)) {
    return false;
  }
  Record(FileEvent::kFlush, open->path, open->params);
  return true;
}

void SimDeviceFiles::Close(FileHandle file) {
  const auto found = files_.find(file);
  if (found == files_.end()) {
    ++counts_.bad_handles;
    return;
  }
  Record(FileEvent::kClose, found->second.path, found->second.params);
  files_.erase(found);
  ++counts_.closes;
  counts_.open_handles = static_cast<std::uint32_t>(files_.size());
}

void SimDeviceFiles::ResetCounts() {
  counts_ = {};
  counts_.open_handles = static_cast<std::uint32_t>(files_.size());
}

void SimDeviceFiles::EnableLog(std::size_t capacity) {
  log_capacity_ = capacity;
  while (log_.size() > log_capacity_) {
    log_.pop_front();
  }
}

void SimDeviceFiles::Record(FileEvent kind, const std::string& path, const OpenParameters& params,
                            std::span<const std::uint8_t> bytes) {
  if (log_capacity_ == 0) {
    return;
  }
  if (log_.size() == log_capacity_) {
    log_.pop_front();
  }
  log_.push_back(FileLogEntry{kind, path, params, {bytes.begin(), bytes.end()}});
}

}  // namespace korimo::sim
