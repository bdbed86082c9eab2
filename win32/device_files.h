// The engraver's device file over the real file calls: CreateFileA with the
// channel's parameters, synchronous ReadFile and WriteFile (no overlapped
// structure), FlushFileBuffers and CloseHandle.
#pragma once

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
};

}  // namespace korimo::win32
