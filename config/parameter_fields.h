// The six parameter fields of the configuration window, one record each: what
// the window shows and how it places the field, where the value lives in
// parameter memory and in the status packet, what each model puts into it, and
// how korimo-cli names it. The window's layout, Load, Read and the model
// presets, the Set plan and korimo-cli all read this table; a field added here
// is a field everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/memory_map.h"
#include "config/presets.h"
#include "device/modKT90.h"

namespace korimo {

struct ParameterFieldRecord {
  // The window.
  std::string_view control;  // the drop-down field, e.g. "cboMaxX"
  std::string_view frame;    // the frame around it
  std::string_view caption;  // the frame's caption, unit included
  int frame_left;            // twips, relative to the window
  int frame_top;
  std::array<std::string_view, 2> items;  // drop-down items in order; empty ones are none
  bool digits_only;                       // typed characters other than 0..9 are discarded

  // The engraver.
  std::uint8_t cell;         // parameter memory: high byte here, low byte in the next cell
  std::uint8_t status_word;  // status packet offset of the word mirrored from `cell`

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
// the tab order of the window follows it too. Each record in three lines: the
// window; the engraver and the presets (KX2, KX3); korimo-cli.
// clang-format off
inline constexpr auto kParameterFields = std::to_array<ParameterFieldRecord>({
    {"cboMaxX", "Frame2", "Maximum X Travel(0.001 in)", 120, 1560, {"16000", "24000"}, false,
     memory::kMaxX, status::kMaxX, {"16000", "24000"},
     "--max-x", "Maximum X travel", "0.001 in", "max_x", "the maximum X travel"},
    {"cboMaxY", "Frame3", "Maximum Y Travel(0.001 in)", 120, 2520, {"12000"}, true,
     memory::kMaxY, status::kMaxY, {"12000", "12000"},
     "--max-y", "Maximum Y travel", "0.001 in", "max_y", "the maximum Y travel"},
    {"cboMaxZ", "Frame4", "Maximum Z Travel (0.001 in)", 120, 3480, {"4250"}, true,
     memory::kMaxZ, status::kMaxZ, {"4250", "4250"},
     "--max-z", "Maximum Z travel", "0.001 in", "max_z", "the maximum Z travel"},
    {"cboRaster", "Frame7", "Raster Speed (0.001 in/sec)", 2520, 1560, {"50000"}, true,
     memory::kRasterSpeed, status::kRasterSpeed, {"50000", "50000"},
     "--raster", "Raster speed", "0.001 in/sec", "raster_speed",
     "the raster speed"},
    {"cboVector", "Frame6", "Vector Speed (0.001 in/sec)", 2520, 2520, {"25000"}, true,
     memory::kVectorSpeed, status::kVectorSpeed, {"10000", "10000"},
     "--vector", "Vector speed", "0.001 in/sec", "vector_speed",
     "the vector speed"},
    {"cboZSpeed", "Frame5", "Z Speed (0.001 in/sec)", 2520, 3480, {"8000"}, true,
     memory::kZSpeed, status::kZSpeed, {"8000", "8000"},
     "--z-speed", "Z speed", "0.001 in/sec", "z_speed", "the Z speed"},
});
// clang-format on
inline constexpr std::size_t kParameterFieldCount = kParameterFields.size();

// The board mirrors each configuration cell at the same offset of its status packet.
static_assert([] {
  for (const ParameterFieldRecord& field : kParameterFields) {
    if (field.status_word != field.cell) {
      return false;
    }
  }
  return true;
}());

// The text that `preset` puts into the field `field` (an index into kParameterFields).
constexpr std::string_view PresetText(const ModelPreset& preset, std::size_t field) {
  return kParameterFields[field].presets[PresetIndex(preset)];
}

}  // namespace korimo
