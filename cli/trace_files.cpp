#include "cli/trace_files.h"

#include "device/hex.h"

namespace korimo::cli {

std::string HexLine(std::span<const std::uint8_t> bytes) {
  std::string line;
  line.reserve(bytes.size() * 3);
  for (const std::uint8_t byte : bytes) {
    if (!line.empty()) {
      line += ' ';
    }
    line += HexDigits(byte);
  }
  return line;
}

std::optional<FileHandle> TracingDeviceFiles::Open(const std::string& path,
                                                   const OpenParameters& params) {
  std::optional<FileHandle> file = inner_.Open(path, params);
  if (!file) {
    out_ << "! " << path << '\n';
  }
  return file;
}

std::optional<std::size_t> TracingDeviceFiles::Read(FileHandle file,
                                                    std::span<std::uint8_t> buffer) {
  const std::optional<std::size_t> read = inner_.Read(file, buffer);
  out_ << "< " << HexLine(buffer) << (read ? "" : " (failed)") << '\n';
  return read;
}

bool TracingDeviceFiles::Write(FileHandle file, std::span<const std::uint8_t> bytes) {
  const bool written = inner_.Write(file, bytes);
  out_ << "> " << HexLine(bytes) << (written ? "" : " (failed)") << '\n';
  return written;
}

}  // namespace korimo::cli
