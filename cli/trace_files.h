// A DeviceFiles decorator that shows every transaction on a text stream, one
// line each, so a technician can see the wire:
//   > 00 04 03 05 12 00     a packet written (upper-case hex, single blanks)
//   < 00 80 00 ...          a packet read: the whole buffer as the caller sees it
//   ! \\?\usb#vid_...       an open that failed, and its path
// A read or write call that fails shows its line with " (failed)" after it.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "device/ports.h"

namespace korimo::cli {

class TracingDeviceFiles final : public DeviceFiles {
 public:
  TracingDeviceFiles(DeviceFiles& inner, std::ostream& out) : inner_(inner), out_(out) {}

  std::optional<FileHandle> Open(const std::string& path, const OpenParameters& params) override;
  std::optional<std::size_t> Read(FileHandle file, std::span<std::uint8_t> buffer) override;
  bool Write(FileHandle file, std::span<const std::uint8_t> bytes) override;
  bool Flush(FileHandle file) override { return inner_.Flush(file); }
  void Close(FileHandle file) override { inner_.Close(file); }
  bool LastOpenRefusedInUse() const override { return inner_.LastOpenRefusedInUse(); }

 private:
  DeviceFiles& inner_;
  std::ostream& out_;
};

}  // namespace korimo::cli
