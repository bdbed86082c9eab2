#include "cli/trace_files.h"

#include "device/hex.h"

namespace korimo::cli {

namespace {

// The mark, then the bytes in upper-case hex, separated by single blanks.
void Show(std::ostream& out, char mark, std::span<const std::uint8_t> bytes, bool done) {
  out << mark << ' ';
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out << (i > 0 ? " " : "") << HexDigits(bytes[i]);
  }
  out << (done ? "" : " (failed)") << '\n';
}

}  // namespace

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
  Show(out_, '<', buffer, read.has_value());
  return read;
}

bool TracingDeviceFiles::Write(FileHandle file, std::span<const std::uint8_t> bytes) {
  const bool written = inner_.Write(file, bytes);
  Show(out_, '>', bytes, written);
  return written;
}

}  // namespace korimo::cli
