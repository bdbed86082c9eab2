#include "device/modStream.h"

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
  const std::size_t whole_chunks = buffer.size() / kWriteChunkSize;
  for (std::size_t k = 0; k < whole_chunks; ++k) {
    delivered = WriteChunk(path, buffer.subspan(k * kWriteChunkSize, kWriteChunkSize)) && delivered;
  }
  if (const std::size_t remainder = buffer.size() % kWriteChunkSize; remainder != 0) {
    delivered =
        WriteChunk(path, buffer.subspan(whole_chunks * kWriteChunkSize, remainder)) && delivered;
  }
  return delivered;
}

bool modStream::WriteChunk(const std::string& path, std::span<const std::uint8_t> chunk) {
  const std::optional<FileHandle> file = files_.Open(path, kWriteOpen);
  if (file && files_.Write(*file, chunk)) {
    const bool flushed = files_.Flush(*file);
    files_.Close(*file);
    return flushed;
  }
  if (file) {
    files_.Close(*file);
  }
  pump_.DoEvents();
  return false;
}

}  // namespace korimo
