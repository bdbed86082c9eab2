#include "win32/device_files.h"

#include <algorithm>
#include <limits>

#include "win32/windows_api.h"

namespace korimo::win32 {
namespace {

HANDLE HandleOf(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

// One call moves at most this many bytes; packets are far smaller.
constexpr std::size_t kMaxTransfer = std::numeric_limits<DWORD>::max();

DWORD TransferSize(std::size_t size) {
  return static_cast<DWORD>(std::min(size, kMaxTransfer));
}

}  // namespace

std::optional<FileHandle> Win32DeviceFiles::Open(const std::string& path,
                                                 const OpenParameters& params) {
  const HANDLE file =
      CreateFileA(path.c_str(), params.desired_access, params.share_mode, nullptr,
                  params.creation_disposition, params.flags_and_attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    open_refused_in_use_ = GetLastError() == ERROR_SHARING_VIOLATION;
    return std::nullopt;
  }
  return reinterpret_cast<FileHandle>(file);
}

std::optional<std::size_t> Win32DeviceFiles::Read(FileHandle file, std::span<std::uint8_t> buffer) {
  DWORD read = 0;
  const DWORD wanted = TransferSize(buffer.size());
  if (!ReadFile(HandleOf(file), buffer.data(), wanted, &read, nullptr) &&
      GetLastError() != ERROR_MORE_DATA) {
    return std::nullopt;
  }
  return std::min<std::size_t>(read, wanted);
}

bool Win32DeviceFiles::Write(FileHandle file, std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxTransfer) {
    return false;
  }
  DWORD written = 0;
  return WriteFile(HandleOf(file), bytes.data(), TransferSize(bytes.size()), &written, nullptr) !=
         FALSE;
}

bool Win32DeviceFiles::Flush(FileHandle file) {
  return FlushFileBuffers(HandleOf(file)) != FALSE;
}

void Win32DeviceFiles::Close(FileHandle file) {
  CloseHandle(HandleOf(file));
}

void PauseFor(std::chrono::milliseconds pause) {
  Sleep(static_cast<DWORD>(std::max<std::chrono::milliseconds::rep>(pause.count(), 0)));
}

}  // namespace korimo::win32
