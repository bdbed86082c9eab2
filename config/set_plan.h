// The Set command as data: from the field texts and the selected model, the 79
// parameter memory writes in the order they go to the controller. The window
// and the command-line tool both carry out this one plan.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/parameter_fields.h"

namespace korimo {

// A memory cell and its value: (address, value).
using CellValue = std::pair<std::uint8_t, std::uint8_t>;

// The rows of the Set, in order.
enum class SetStep {
  kSerialNumber,  // cells 5, 6 from the serial field
  kModelMarker,   // cell 7 <- 1
  kParameter,     // each parameter field to its cell pair, in kParameterFields order
  kModelCode,     // cell 7 <- the selected model's code, 0 for none
  kFixedSingles,  // cells 32..75
  kFixedBytes,    // cells 76..90, 92..95
};

// The entry a stored value comes from: the serial field, or parameter field
// `field` (an index into kParameterFields).
struct SetEntry {
  SetStep step;
  std::size_t field = 0;

  friend bool operator==(const SetEntry&, const SetEntry&) = default;
};

struct SetWrite {
  SetStep step;
  std::uint8_t address;
  std::uint8_t value;
  std::size_t field = 0;  // with kParameter: the field the value comes from

  SetEntry Entry() const { return {step, step == SetStep::kParameter ? field : 0}; }

  friend bool operator==(const SetWrite&, const SetWrite&) = default;
};

struct SetFieldTexts {
  std::string serial_number;
  std::array<std::string, kParameterFieldCount> parameters;  // in kParameterFields order
};

// The texts of a Set of `preset` with the serial field showing `serial_number`.
SetFieldTexts PresetFieldTexts(const ModelPreset& preset, std::string serial_number);

struct SetPlan {
  // Empty when the Set is refused.
  std::vector<SetWrite> writes;
  // The field texts as Set rewrites them, in "00000" form, before their bytes go
  // out; the texts as given when the Set is refused.
  SetFieldTexts rewritten;
  // The first entry whose value lies outside 0..65535; such a value has no
  // byte pair and is never stored wrapped, so nothing at all is written.
  std::optional<SetEntry> refused;
};

// Each cell the plan writes, once, with the last value it gives it (cell 7 is
// written twice), in the order of its first write: what a read-back compares.
std::vector<CellValue> WrittenCells(const SetPlan& plan);

// The serial number, the model marker, each parameter word, the model code and
// the fixed block.
inline constexpr std::size_t kSetWriteCount = 2 + 1 + 2 * kParameterFieldCount + 1 +
                                              4 * memory::FixedParameters.singles.size() +
                                              memory::FixedParameters.bytes.size();

SetPlan PlanSet(const SetFieldTexts& texts, std::uint8_t model_code);

// True for the first write of a field step: its field text is rewritten just
// before this write is sent.
bool RewritesField(const SetPlan& plan, std::size_t write_index);

}  // namespace korimo
