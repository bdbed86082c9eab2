// The backup parser of korimo-cli (restore and diff read files from outside):
// any bytes either give a backup or a refusal naming a line, and a backup that
// is taken writes back out as a file that reads the same again.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/backup_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const korimo::cli::BackupParse parsed = korimo::cli::ParseBackup(text);
  if (!parsed.backup) {
    if (parsed.error.empty()) {
      std::abort();  // a refusal always says why
    }
    return 0;
  }
  const korimo::cli::BackupParse again =
      korimo::cli::ParseBackup(korimo::cli::FormatBackup(*parsed.backup));
  if (!again.backup || again.backup->cells != parsed.backup->cells ||
      again.backup->device_path != parsed.backup->device_path ||
      again.backup->time != parsed.backup->time) {
    std::abort();
  }
  return 0;
}
