// The two engraver models the tool knows and the values their selection puts
// into the six parameter fields.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "config/memory_map.h"

namespace korimo {

// The six parameter fields, in the order presets fill them.
enum class ParameterField { kMaxX, kMaxY, kMaxZ, kRasterSpeed, kVectorSpeed, kZSpeed };

inline constexpr std::array<ParameterField, 6> kParameterFields{
    ParameterField::kMaxX,        ParameterField::kMaxY,        ParameterField::kMaxZ,
    ParameterField::kRasterSpeed, ParameterField::kVectorSpeed, ParameterField::kZSpeed};

struct ModelPreset {
  std::string_view name;
  std::uint8_t code;
  // Field texts in kParameterFields order, exactly as the fields show them.
  std::array<std::string_view, 6> texts;
};

// In list order: the smaller model first.
inline constexpr std::array<ModelPreset, 2> kModelPresets{{
    {"Korimo KX2", memory::kModelKX2, {"16000", "12000", "4250", "50000", "10000", "8000"}},
    {"Korimo KX3", memory::kModelKX3, {"24000", "12000", "4250", "50000", "10000", "8000"}},
}};

// The preset whose name is `name` (exact, case-sensitive), or none.
constexpr const ModelPreset* FindPreset(std::string_view name) {
  for (const ModelPreset& preset : kModelPresets) {
    if (preset.name == name) {
      return &preset;
    }
  }
  return nullptr;
}

// The preset for a model code, or none (0 and unknown codes).
constexpr const ModelPreset* FindPreset(std::uint8_t code) {
  for (const ModelPreset& preset : kModelPresets) {
    if (preset.code == code) {
      return &preset;
    }
  }
  return nullptr;
}

}  // namespace korimo
