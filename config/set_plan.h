// The Set command as data: from the field texts and the selected model, the 79
// parameter memory writes in the order they go to the controller. The window
// and the command-line tool both carry out this one plan.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/presets.h"

namespace korimo {

// The rows of the Set, in order.
enum class SetStep {
  kSerialNumber,  // cells 5, 6 from the serial field
  kModelMarker,   // cell 7 <- 1
  kMaxX,          // cells 16, 17
  kMaxY,          // cells 18, 19
  kMaxZ,          // cells 14, 15
  kRasterSpeed,   // cells 20, 21
  kVectorSpeed,   // cells 22, 23
  kZSpeed,        // cells 12, 13
  kModelCode,     // cell 7 <- the selected model's code, 0 for none
  kFixedSingles,  // cells 32..75
  kFixedBytes,    // cells 76..90, 92..95
};

struct SetWrite {
  SetStep step;
  std::uint8_t address;
  std::uint8_t value;

  friend bool operator==(const SetWrite&, const SetWrite&) = default;
};

struct SetFieldTexts {
  std::string serial_number;
  std::array<std::string, 6> parameters;  // in kParameterFields order
};

struct SetPlan {
  // Empty when the Set is refused.
  std::vector<SetWrite> writes;
  // The field texts as Set rewrites them, in "00000" form, before their bytes go
  // out; the texts as given when the Set is refused.
  SetFieldTexts rewritten;
  // The first field whose value lies outside 0..65535; such a value has no
  // byte pair and is never stored wrapped, so nothing at all is written.
  std::optional<SetStep> refused;
};

inline constexpr std::size_t kSetWriteCount = 79;

SetPlan PlanSet(const SetFieldTexts& texts, std::uint8_t model_code);

// The parameter field a step takes its value from, if any.
std::optional<ParameterField> FieldOfStep(SetStep step);

// True for the first write of a field step: its field text is rewritten just
// before this write is sent.
bool RewritesField(const SetPlan& plan, std::size_t write_index);

}  // namespace korimo
