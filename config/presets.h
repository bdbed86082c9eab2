// The two engraver models the tool knows: the entries of the model list. The
// values a model's selection puts into the six parameter fields stand in the
// fields' own table (config/parameter_fields.h).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/memory_map.h"

namespace korimo {

struct ModelPreset {
  std::string_view name;
  std::uint8_t code;
};

// In list order: the smaller model first.
inline constexpr std::array<ModelPreset, 2> kModelPresets{{
    {"Korimo KX2", memory::kModelKX2},
    {"Korimo KX3", memory::kModelKX3},
}};
inline constexpr std::size_t kModelCount = kModelPresets.size();

// The preset whose name is `name` (exact, case-sensitive), or none.
constexpr const ModelPreset* FindPreset(std::string_view name) {
  const auto found = std::ranges::find(kModelPresets, name, &ModelPreset::name);
  return found == kModelPresets.end() ? nullptr : &*found;
}

// The preset for a model code, or none (0 and unknown codes).
constexpr const ModelPreset* FindPreset(std::uint8_t code) {
  const auto found = std::ranges::find(kModelPresets, code, &ModelPreset::code);
  return found == kModelPresets.end() ? nullptr : &*found;
}

// The position of `preset` in kModelPresets.
constexpr std::size_t PresetIndex(const ModelPreset& preset) {
  return static_cast<std::size_t>(&preset - kModelPresets.data());
}

}  // namespace korimo
