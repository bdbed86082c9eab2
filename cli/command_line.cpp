#include "cli/command_line.h"

#include <algorithm>

#include "cli/command_table.h"
#include "cli/entries.h"

namespace korimo::cli {

std::optional<std::string> CommandLine::Value(std::string_view option) const {
  const auto found = values.find(option);
  return found != values.end() ? std::optional(found->second) : std::nullopt;
}

std::vector<std::string> CommandLine::Options() const {
  std::vector<std::string> options(flags.begin(), flags.end());
  for (const auto& [option, value] : values) {
    options.push_back(option);
  }
  return options;
}

ParseResult ParseCommandLine(std::span<const std::string> args) {
  ParseResult result;
  CommandLine& line = result.line;
  const auto refuse = [&](const std::string& error) {
    result.error = error;
    return result;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string word = args[i] == "-h" ? "--help" : args[i];
    if (!word.starts_with("--")) {
      line.words.push_back(word);
      continue;
    }
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const std::optional<std::string> inline_value =
        equals != std::string::npos ? std::optional(word.substr(equals + 1)) : std::nullopt;
    const Option* known = FindOption(name);
    if (known == nullptr) {
      return refuse("Unknown option " + Echo(name) + ".");
    }
    if (line.Has(name)) {
      return refuse("The option " + name + " is given twice.");
    }
    if (known->value.empty()) {
      if (inline_value) {
        return refuse("The option " + name + " takes no value.");
      }
      line.flags.insert(name);
    } else if (inline_value || i + 1 < args.size()) {
      line.values.emplace(name, inline_value ? *inline_value : args[++i]);
    } else {
      return refuse("The option " + name + " needs a value (" + std::string(known->value) + ").");
    }
  }
  return result;
}

}  // namespace korimo::cli
