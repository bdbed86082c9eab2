#include "config/set_plan.h"

#include "config/memory_map.h"
#include "config/numeric.h"
#include "device/modStream.h"

namespace korimo {
namespace {

struct WordStep {
  SetStep step;
  std::uint8_t address;
};

// Parameter steps in Set order; the same order as kParameterFields.
constexpr std::array<WordStep, 6> kParameterSteps{{
    {SetStep::kMaxX, memory::kMaxX},
    {SetStep::kMaxY, memory::kMaxY},
    {SetStep::kMaxZ, memory::kMaxZ},
    {SetStep::kRasterSpeed, memory::kRasterSpeed},
    {SetStep::kVectorSpeed, memory::kVectorSpeed},
    {SetStep::kZSpeed, memory::kZSpeed},
}};

}  // namespace

std::optional<ParameterField> FieldOfStep(SetStep step) {
  for (std::size_t i = 0; i < kParameterSteps.size(); ++i) {
    if (kParameterSteps[i].step == step) {
      return kParameterFields[i];
    }
  }
  return std::nullopt;
}

bool RewritesField(const SetPlan& plan, std::size_t write_index) {
  if (write_index >= plan.writes.size()) {
    return false;
  }
  const SetStep step = plan.writes[write_index].step;
  const bool field_step = step == SetStep::kSerialNumber || FieldOfStep(step).has_value();
  return field_step && (write_index == 0 || plan.writes[write_index - 1].step != step);
}

SetPlan PlanSet(const SetFieldTexts& texts, std::uint8_t model_code) {
  SetPlan plan;
  std::vector<SetWrite>& writes = plan.writes;
  writes.reserve(kSetWriteCount);

  auto word = [&](SetStep step, std::uint8_t address, std::string_view text,
                  std::string& rewritten) {
    const std::int32_t n = ValueOfText(text);
    rewritten = FiveDigits(n);
    if (n < 0 || n > kWordMax) {
      if (!plan.refused) {
        plan.refused = step;
      }
      return;
    }
    writes.push_back({step, address, static_cast<std::uint8_t>(n / 256)});
    writes.push_back(
        {step, static_cast<std::uint8_t>(address + 1), static_cast<std::uint8_t>(n % 256)});
  };

  word(SetStep::kSerialNumber, memory::kSerialNumber, texts.serial_number,
       plan.rewritten.serial_number);
  writes.push_back({SetStep::kModelMarker, memory::kModelCode, 1});
  for (std::size_t i = 0; i < kParameterSteps.size(); ++i) {
    word(kParameterSteps[i].step, kParameterSteps[i].address, texts.parameters[i],
         plan.rewritten.parameters[i]);
  }
  writes.push_back({SetStep::kModelCode, memory::kModelCode, model_code});
  for (const memory::FixedSingle& single : memory::FixedParameters.singles) {
    for (std::int16_t i = 0; i < 4; ++i) {
      writes.push_back({SetStep::kFixedSingles, static_cast<std::uint8_t>(single.address + i),
                        ByteOf(single.value, i)});
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
