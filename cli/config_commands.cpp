// find, read and set: the engraver's path and the main window's Read and Set.
#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/entries.h"
#include "cli/history.h"
#include "config/numeric.h"
#include "config/parameter_fields.h"
#include "config/plan_runner.h"
#include "config/presets.h"
#include "config/service_texts.h"
#include "config/set_plan.h"

namespace korimo::cli {
namespace {

constexpr int kLabelWidth = 30;

void PrintField(std::ostream& out, std::string_view label, std::string_view text) {
  out << label << std::string(static_cast<std::size_t>(kLabelWidth) - label.size(), ' ') << text
      << '\n';
}

void PrintField(std::ostream& out, const ParameterFieldRecord& field, std::string_view text) {
  PrintField(out, std::string(field.label) + " (" + std::string(field.unit) + ")", text);
}

// " --max-x --max-y ...": every parameter option.
std::string AllOptions() {
  std::string options;
  for (const ParameterFieldRecord& field : kParameterFields) {
    options += " ";
    options += field.option;
  }
  return options;
}

// The model of --model: "KX2", "KX3" or "none", in either case.
std::optional<std::uint8_t> ModelCodeOf(const std::string& text) {
  if (const ModelPreset* preset = ModelOfOption(text)) {
    return preset->code;
  }
  const bool none =
      std::ranges::equal(text, std::string_view("none"),
                         [](unsigned char c, char letter) { return std::tolower(c) == letter; });
  return none ? std::optional(memory::kNoModel) : std::nullopt;
}

// The texts the Set takes its values from, checked; nothing when the command
// line is refused (the exit code is then in `exit_code`).
std::optional<SetFieldTexts> SetTexts(Session& session, std::uint8_t& model_code, int& exit_code) {
  const CommandLine& line = session.Line();
  std::ostream& err = session.Err();
  exit_code = kExitUsage;
  const std::optional<std::string> model = line.Value("--model");
  const std::optional<std::string> serial = line.Value("--serial");
  if (!model || !serial) {
    err << "set needs --model KX2, KX3 or none, and --serial N.\n";
    return std::nullopt;
  }
  const std::optional<std::uint8_t> code = ModelCodeOf(*model);
  if (!code) {
    err << "--model must be KX2, KX3 or none (" << Echo(*model) << " given).\n";
    return std::nullopt;
  }
  model_code = *code;
  SetFieldTexts texts;
  texts.serial_number = *serial;
  const ModelPreset* preset = FindPreset(*code);
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    const std::string_view option = kParameterFields[i].option;
    const std::optional<std::string> value = line.Value(option);
    if (preset != nullptr && value) {
      err << option << " cannot be given with --model " << Echo(*model)
          << ": the model's presets fix the parameters.\n";
      return std::nullopt;
    }
    if (preset == nullptr && !value) {
      err << "--model none needs all of" << AllOptions() << "; " << option << " is missing.\n";
      return std::nullopt;
    }
    texts.parameters[i] = preset != nullptr ? std::string(PresetText(*preset, i)) : *value;
  }
  exit_code = kExitRefused;
  if (!IsWordEntry(texts.serial_number, "--serial", err)) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    if (!IsWordEntry(texts.parameters[i], kParameterFields[i].option, err)) {
      return std::nullopt;
    }
  }
  return texts;
}

}  // namespace

const ModelPreset* ModelOfOption(std::string_view text) {
  std::string upper(text);
  std::ranges::transform(upper, upper.begin(),
                         [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return FindPreset("Korimo " + upper);
}

std::string ModelText(std::uint8_t code) {
  std::string text = std::to_string(code);
  if (const ModelPreset* preset = FindPreset(code)) {
    text += " (" + std::string(preset->name) + ")";
  }
  return text;
}

int RunFind(Session& session, modKT90& kt90) {
  session.Out() << kt90.DevicePath() << '\n';
  return kExitOk;
}

int RunRead(Session& session, modKT90& kt90) {
  // The window's order, every value from a status packet of its own. Nothing
  // is shown unless all of them answered.
  const ConfigurationRead read = ReadConfiguration(kt90, RunStop::kAtFirstMiss);
  if (!read.configuration) {
    return session.NoAnswer(std::string(read.missing), "nothing is shown");
  }
  const std::int32_t serial = read.configuration->serial_number;
  const std::array<std::int32_t, kParameterFieldCount>& values = read.configuration->parameters;
  const std::uint8_t model = read.configuration->model_code;

  std::ostream& out = session.Out();
  if (session.Line().Has("--json")) {
    const ModelPreset* preset = FindPreset(model);
    out << "{\"serial_number\": " << serial << ", \"model_code\": " << int{model} << ", \"model\": "
        << (preset != nullptr ? "\"" + std::string(preset->name) + "\"" : std::string("null"));
    for (std::size_t i = 0; i < values.size(); ++i) {
      out << ", \"" << kParameterFields[i].json_name << "\": " << values[i];
    }
    out << "}\n";
    return kExitOk;
  }
  PrintField(out, "Serial number", FiveDigits(serial));
  PrintField(out, "Model code", ModelText(model));
  for (std::size_t i = 0; i < values.size(); ++i) {
    PrintField(out, kParameterFields[i], FiveDigits(values[i]));
  }
  return kExitOk;
}

int RunSet(Session& session, std::span<const std::string>) {
  std::uint8_t model_code = 0;
  int refusal = kExitOk;
  const std::optional<SetFieldTexts> texts = SetTexts(session, model_code, refusal);
  if (!texts) {
    return refusal;
  }
  const SetPlan plan = PlanSet(*texts, model_code);
  if (plan.refused) {
    session.Err() << (plan.refused->step == SetStep::kParameter
                          ? kParameterFields[plan.refused->field].option
                          : std::string_view("--serial"))
                  << ": the value has no place in a word of 0 to 65535; nothing was written.\n";
    return kExitRefused;
  }

  modKT90* kt90 = session.Connect();
  if (kt90 == nullptr) {
    return session.ConnectFailure();
  }
  if (const int refused = KeepHistory(session, *kt90, "set", PlanCells(plan)); refused != kExitOk) {
    return refused;
  }
  const CellRun run = WriteCells(*kt90, PlanCells(plan), RunStop::kWhenGaveUp);
  if (run.gave_up && session.TimedOut("the Set stopped after " + std::to_string(run.tried - 1) +
                                      " of " + std::to_string(plan.writes.size()) + " writes")) {
    return kExitTimedOut;
  }
  if (run.reached != plan.writes.size()) {
    session.Err() << NotDeliveredMessage(run.reached, plan.writes.size(), "values", "Set") << '\n';
    return kExitCutShort;
  }

  std::ostream& out = session.Out();
  PrintField(out, "Serial number", plan.rewritten.serial_number);
  PrintField(out, "Model code", ModelText(model_code));
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    PrintField(out, kParameterFields[i], plan.rewritten.parameters[i]);
  }
  out << plan.writes.size() << " bytes written to the parameter memory.\n";
  if (!session.Line().Has("--verify")) {
    return kExitOk;
  }
  return VerifyCells(session, *kt90, WrittenCells(plan));
}

}  // namespace korimo::cli
