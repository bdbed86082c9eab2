// The configuration window's side of the parameter fields: each field's
// drop-down and the frame around it, where the frame stands (twips, relative to
// the window), what the drop-down offers and which keys it takes. In the order
// of kParameterFields, one record per field.
#pragma once

#include <array>
#include <string_view>

#include "config/parameter_fields.h"

namespace korimo {

struct FieldControl {
  std::string_view control;  // the drop-down field, e.g. "cboMaxX"
  std::string_view frame;    // the frame around it
  std::string_view caption;  // the frame's caption, unit included
  int frame_left;
  int frame_top;
  std::array<std::string_view, 2> items;  // drop-down items in order; empty ones are none
  bool digits_only;                       // typed characters other than 0..9 are discarded
};

// clang-format off
inline constexpr auto kFieldControls = std::to_array<FieldControl>({
    {"cboMaxX", "Frame2", "Maximum X Travel(0.001 in)", 120, 1560, {"16000", "24000"}, false},
    {"cboMaxY", "Frame3", "Maximum Y Travel(0.001 in)", 120, 2520, {"12000"}, true},
    {"cboMaxZ", "Frame4", "Maximum Z Travel (0.001 in)", 120, 3480, {"4250"}, true},
    {"cboRaster", "Frame7", "Raster Speed (0.001 in/sec)", 2520, 1560, {"50000"}, true},
    {"cboVector", "Frame6", "Vector Speed (0.001 in/sec)", 2520, 2520, {"25000"}, true},
    {"cboZSpeed", "Frame5", "Z Speed (0.001 in/sec)", 2520, 3480, {"8000"}, true},
});
// clang-format on
static_assert(kFieldControls.size() == kParameterFieldCount);

}  // namespace korimo
