#include "app/demo_moves.h"

#include <fstream>

#include "jog/jog_buttons.h"
#include "sim/board.h"

namespace korimo::app {

std::vector<DemoMoveFile> DemoMoveFiles() {
  std::vector<DemoMoveFile> files;
  for (const jog::JogButtonDesign& button : jog::kJogButtons) {
    const std::int16_t step = button.outer ? kOuterStep : kInnerStep;
    const auto distance = static_cast<std::int16_t>(button.direction * step);
    const std::int16_t dx = button.axis == jog::JogAxis::kX ? distance : std::int16_t{0};
    const std::int16_t dy = button.axis == jog::JogAxis::kY ? distance : std::int16_t{0};
    const std::int16_t dz = button.axis == jog::JogAxis::kZ ? distance : std::int16_t{0};
    const auto record = sim::Board::MovePacket(dx, dy, dz);

    DemoMoveFile file{std::string(button.tag) + std::string(jog::kMoveFileExtension), {}};
    for (int i = 0; i < (button.outer ? kOuterRecords : 1); ++i) {
      file.bytes.insert(file.bytes.end(), record.begin(), record.end());
    }
    files.push_back(std::move(file));
  }
  return files;
}

bool WriteDemoMoveFiles(const std::filesystem::path& folder, std::string& error) {
  for (const DemoMoveFile& file : DemoMoveFiles()) {
    const std::filesystem::path path = folder / file.name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.bytes.data()),
              static_cast<std::streamsize>(file.bytes.size()));
    out.close();
    if (!out) {
      error = "cannot write " + path.string();
      return false;
    }
  }
  return true;
}

}  // namespace korimo::app
