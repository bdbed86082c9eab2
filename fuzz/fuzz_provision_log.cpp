// The provision log's parser (a run reads the log it appends to, and the log
// may have been edited or cut): any bytes either give the stored serial
// numbers or a refusal naming a line, and every stored serial's line is one
// that FormatLogLine would have written.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/workshop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const korimo::cli::ProvisionLog log = korimo::cli::ParseLog(text);
  if (!log.error.empty()) {
    if (!log.stored.empty() || !log.error.starts_with("line ")) {
      std::abort();
    }
    return 0;
  }
  for (const auto& [serial, line] : log.stored) {
    if (line < 2 || line > log.lines || log.StoredAt(serial) == std::nullopt) {
      std::abort();
    }
  }
  return 0;
}
