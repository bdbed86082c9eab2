// The engraver's device file over the real file calls: CreateFileA with the
// channel's parameters, synchronous ReadFile and WriteFile (no overlapped
// structure), FlushFileBuffers and CloseHandle.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "device/ports.h"

namespace korimo::win32 {

class Win32DeviceFiles final : public DeviceFiles {
 public:
  // CreateFileA(path, access, share, no security attributes, disposition,
  // flags, no template); no handle when it gives INVALID_HANDLE_VALUE.
  std::optional<FileHandle> Open(const std::string& path, const OpenParameters& params) override;

  // One ReadFile call. The count it reports, also when a message-mode device
  // had more to give than the buffer holds; nothing when the call failed.
  std::optional<std::size_t> Read(FileHandle file, std::span<std::uint8_t> buffer) override;

  // One WriteFile call of all the bytes.
  bool Write(FileHandle file, std::span<const std::uint8_t> bytes) override;

  bool Flush(FileHandle file) override;
  void Close(FileHandle file) override;

  // The last failed open ended in ERROR_SHARING_VIOLATION: another program
  // has the device file open.
  bool LastOpenRefusedInUse() const override { return open_refused_in_use_; }

 private:
  bool open_refused_in_use_ = false;
};

// Waits `pause` on the calling thread (Sleep).
void PauseFor(std::chrono::milliseconds pause);

}  // namespace korimo::win32
