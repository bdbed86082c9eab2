#include "config/set_plan.h"

#include <algorithm>
#include <utility>

#include "config/memory_map.h"
#include "config/numeric.h"

namespace korimo {

SetFieldTexts PresetFieldTexts(const ModelPreset& preset, std::string serial_number) {
  SetFieldTexts texts;
  texts.serial_number = std::move(serial_number);
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    texts.parameters[i] = std::string(PresetText(preset, i));
  }
  return texts;
}

std::vector<CellValue> WrittenCells(const SetPlan& plan) {
  std::vector<CellValue> cells;
  for (const SetWrite& write : plan.writes) {
    const auto same = std::ranges::find(cells, write.address, &CellValue::first);
    if (same != cells.end()) {
      same->second = write.value;
    } else {
      cells.emplace_back(write.address, write.value);
    }
  }
  return cells;
}

bool RewritesField(const SetPlan& plan, std::size_t write_index) {
  if (write_index >= plan.writes.size()) {
    return false;
  }
  const SetWrite& write = plan.writes[write_index];
  const bool field_step = write.step == SetStep::kSerialNumber || write.step == SetStep::kParameter;
  return field_step && (write_index == 0 || plan.writes[write_index - 1].Entry() != write.Entry());
}

SetPlan PlanSet(const SetFieldTexts& texts, std::uint8_t model_code) {
  SetPlan plan;
  std::vector<SetWrite>& writes = plan.writes;
  writes.reserve(kSetWriteCount);

  auto word = [&](SetEntry entry, std::uint8_t address, std::string_view text,
                  std::string& rewritten) {
    const WordEntryRead read = ReadWordEntry(text);
    if (read.verdict == WordEntryVerdict::kOutOfRange) {
      if (!plan.refused) {
        plan.refused = entry;
      }
      return;
    }
    // Text that is no number stands for 0, as the fields have always taken it.
    const std::uint16_t n = read.value;
    rewritten = FiveDigits(n);
    writes.push_back({entry.step, address, static_cast<std::uint8_t>(n / 256), entry.field});
    writes.push_back({entry.step, static_cast<std::uint8_t>(address + 1),
                      static_cast<std::uint8_t>(n % 256), entry.field});
  };

  word({SetStep::kSerialNumber}, memory::kSerialNumber, texts.serial_number,
       plan.rewritten.serial_number);
  writes.push_back({SetStep::kModelMarker, memory::kModelCode, 1});
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    word({SetStep::kParameter, i}, kParameterFields[i].cell, texts.parameters[i],
         plan.rewritten.parameters[i]);
  }
  writes.push_back({SetStep::kModelCode, memory::kModelCode, model_code});
  for (const memory::FixedSingle& single : memory::FixedParameters.singles) {
    for (std::int16_t i = 0; i < 4; ++i) {
      writes.push_back({SetStep::kFixedSingles, static_cast<std::uint8_t>(single.address + i),
                        memory::ByteOf(single.value, i)});
    }
  }
  for (const memory::FixedByte& fixed : memory::FixedParameters.bytes) {
    writes.push_back({SetStep::kFixedBytes, fixed.address, fixed.value});
  }

  if (plan.refused) {
    // Nothing is sent, so no field is rewritten either: the entries stay as typed.
    writes.clear();
    plan.rewritten = texts;
  }
  return plan;
}

}  // namespace korimo
