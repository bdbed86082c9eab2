#include "sim/platform.h"

#include <algorithm>

namespace korimo::sim {
std::optional<FileHandle> RoutedFiles::Open(const std::string& path, const OpenParameters& params) {
  const auto route = std::find_if(routes_.begin(), routes_.end(),
                                  [&](const Route& r) { return SameDevicePath(r.first, path); });
  // A path that names no engraver fails where the first one's opens are counted.
  SimDeviceFiles* files = route != routes_.end() ? route->second : routes_.front().second;
  const std::optional<FileHandle> inner = files->Open(path, params);
  if (!inner) {
    return std::nullopt;
  }
  const FileHandle handle = next_handle_++;
  open_[handle] = {files, *inner};
  return handle;
}

std::optional<std::size_t> RoutedFiles::Read(FileHandle file, std::span<std::uint8_t> buffer) {
  const auto found = open_.find(file);
  return found == open_.end() ? std::nullopt
                              : found->second.first->Read(found->second.second, buffer);
}

bool RoutedFiles::Write(FileHandle file, std::span<const std::uint8_t> bytes) {
  const auto found = open_.find(file);
  return found != open_.end() && found->second.first->Write(found->second.second, bytes);
}

bool RoutedFiles::Flush(FileHandle file) {
  const auto found = open_.find(file);
  return found != open_.end() && found->second.first->Flush(found->second.second);
}

void RoutedFiles::Close(FileHandle file) {
  if (const auto found = open_.find(file); found != open_.end()) {
    found->second.first->Close(found->second.second);
    open_.erase(found);
  }
}

SimPlatform::SimPlatform(PlatformOptions options)
    : own_clock_(std::make_unique<SteadyClock>()), clock_(*own_clock_) {
  Adopt(options.timings, FillDeviceClasses(catalogue_, options.catalogue), options.plugged);
}

SimPlatform::SimPlatform(Clock& clock, PlatformOptions options) : clock_(clock) {
  Adopt(options.timings, FillDeviceClasses(catalogue_, options.catalogue), options.plugged);
}

std::size_t SimPlatform::AddEngraver(bool plugged) {
  // Ports of their own: the first engraver has instance 1, its stale entry 3.
  return Adopt(At(0).board.Timings(),
               AddEngraverEntry(catalogue_, At(0).entry.class_key,
                                "6&1c3f4e2&0&" + std::to_string(engravers_.size() + 3)),
               plugged);
}

std::size_t SimPlatform::Adopt(const BoardTimings& timings, EngraverEntry entry, bool plugged) {
  auto engraver = std::make_unique<SimEngraver>(clock_, timings);
  engraver->entry = std::move(entry);
  routed_.Add({engraver->entry.device_path, &engraver->files});
  engravers_.push_back(std::move(engraver));
  SetPlugged(engravers_.size() - 1, plugged);
  return engravers_.size() - 1;
}

void SimPlatform::SetPlugged(std::size_t index, bool plugged) {
  SimEngraver& engraver = At(index);
  SetLinked(catalogue_, engraver.entry.instance_key, plugged);
  if (plugged) {
    engraver.files.Attach(engraver.board, engraver.entry.device_path);
  } else {
    engraver.files.Detach();
  }
  engraver.plugged = plugged;
}

}  // namespace korimo::sim
