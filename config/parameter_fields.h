// The six parameter fields, one record each: where the value lives in
// parameter memory (and so in the status packet, which mirrors the cell at the
// same offset), what each model puts into it, and how korimo-cli names it. The
// model presets, the Set plan, the configuration window and korimo-cli all read
// this table; the window's own columns (its controls and their places) stand
// beside its layout, in the same order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/memory_map.h"
#include "config/presets.h"

namespace korimo {

struct ParameterFieldRecord {
  // The engraver: parameter memory holds the high byte here, the low byte in
  // the next cell; the status packet carries the word at the same offset.
  std::uint8_t cell;

  // The text each model's selection puts into the field, in kModelPresets order.
  std::array<std::string_view, kModelCount> presets;

  // korimo-cli.
  std::string_view option;  // command-line option of set
  std::string_view label;   // what read and set print before the unit
  std::string_view unit;
  std::string_view json_name;  // key of read --json
  std::string_view subject;    // what a sentence calls it: "the maximum X travel"
};

// In the order the presets fill the fields, Read reads them and Set stores them;
// the tab order of the window follows it too. Each record in two lines: the
// engraver and the presets (KX2, KX3); korimo-cli.
// clang-format off
inline constexpr auto kParameterFields = std::to_array<ParameterFieldRecord>({
    {memory::kMaxX, {"16000", "24000"},
     "--max-x", "Maximum X travel", "0.001 in", "max_x", "the maximum X travel"},
    {memory::kMaxY, {"12000", "12000"},
     "--max-y", "Maximum Y travel", "0.001 in", "max_y", "the maximum Y travel"},
    {memory::kMaxZ, {"4250", "4250"},
     "--max-z", "Maximum Z travel", "0.001 in", "max_z", "the maximum Z travel"},
    {memory::kRasterSpeed, {"50000", "50000"},
     "--raster", "Raster speed", "0.001 in/sec", "raster_speed",
     "the raster speed"},
    {memory::kVectorSpeed, {"10000", "10000"},
     "--vector", "Vector speed", "0.001 in/sec", "vector_speed",
     "the vector speed"},
    {memory::kZSpeed, {"8000", "8000"},
     "--z-speed", "Z speed", "0.001 in/sec", "z_speed", "the Z speed"},
});
// clang-format on
inline constexpr std::size_t kParameterFieldCount = kParameterFields.size();

// The text that `preset` puts into the field `field` (an index into kParameterFields).
constexpr std::string_view PresetText(const ModelPreset& preset, std::size_t field) {
  return kParameterFields[field].presets[PresetIndex(preset)];
}

}  // namespace korimo
