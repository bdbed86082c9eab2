#include "device/modStream.h"

#include <algorithm>

namespace korimo {

bool modStream::ReadPacket(const std::string& path, std::span<std::uint8_t> buffer) {
  read_refused_in_use_ = false;
  if (path.empty()) {
    return false;
  }
  const std::optional<FileHandle> file = files_.Open(path, kReadOpen);
  if (!file) {
    read_refused_in_use_ = files_.LastOpenRefusedInUse();
    return false;
  }
  const std::optional<std::size_t> count = files_.Read(*file, buffer);
  files_.Close(*file);
  return count && *count == buffer.size();
}

bool modStream::WritePacket(const std::string& path, std::span<const std::uint8_t> buffer) {
  const std::optional<FileHandle> probe = files_.Open(path, kWriteOpen);
  if (!probe) {
    return false;
  }
  files_.Close(*probe);

  bool delivered = true;
  for (std::size_t at = 0; at < buffer.size(); at += kWriteChunkSize) {
    const std::size_t size = std::min(kWriteChunkSize, buffer.size() - at);
    delivered = WriteChunk(path, buffer.subspan(at, size)) && delivered;
  }
  return delivered;
}

bool modStream::WriteChunk(const std::string& path, std::span<const std::uint8_t> chunk) {
  const std::optional<FileHandle> file = files_.Open(path, kWriteOpen);
  const bool written = file && files_.Write(*file, chunk);
  const bool flushed = written && files_.Flush(*file);
  if (file) {
    files_.Close(*file);
  }
  if (!written) {
    pump_.DoEvents();
  }
  return flushed;
}

}  // namespace korimo
