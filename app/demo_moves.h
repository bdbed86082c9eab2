// The movement files of korimo-demo: one per jog button, written in the
// simulated board's own move command ("MV", see sim/board.h). A real controller
// does not know that command, so these files belong beside korimo-demo only,
// never beside the real tool.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korimo::app {

// Distance of one move record, thousandths of an inch.
inline constexpr std::int16_t kOuterStep = 10;  // "JOG" buttons: four records per file
inline constexpr std::int16_t kInnerStep = 2;   // "CRL" buttons: one record per file
inline constexpr int kOuterRecords = 4;

struct DemoMoveFile {
  std::string name;  // tag + ".mov"
  std::vector<std::uint8_t> bytes;
};

// The twelve files, in the order of the jog button table.
std::vector<DemoMoveFile> DemoMoveFiles();

// Writes the twelve files into `folder` (which must exist). On failure returns
// false and says which file could not be written in `error`.
bool WriteDemoMoveFiles(const std::filesystem::path& folder, std::string& error);

}  // namespace korimo::app
