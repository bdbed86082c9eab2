#include "cli/command_line.h"

#include "cli/command_table.h"
#include "cli/entries.h"

namespace korimo::cli {

std::optional<std::string> CommandLine::Value(std::string_view option) const {
  const auto found = values.find(option);
  if (found == values.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::vector<std::string> CommandLine::Options() const {
  std::vector<std::string> options(flags.begin(), flags.end());
  for (const auto& [name, value] : values) {
    options.push_back(name);
  }
  return options;
}

ParseResult ParseCommandLine(std::span<const std::string> args) {
  ParseResult result;
  CommandLine& line = result.line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string word = args[i];
    if (word == "-h") {
      word = "--help";
    }
    if (!word.starts_with("--")) {
      line.words.push_back(word);
      continue;
    }
    std::string name = word;
    std::optional<std::string> inline_value;
    if (const std::size_t equals = word.find('='); equals != std::string::npos) {
      name = word.substr(0, equals);
      inline_value = word.substr(equals + 1);
    }
    const Option* known = FindOption(name);
    if (known == nullptr) {
      result.error = "Unknown option " + Echo(name) + ".";
      return result;
    }
    if (line.Has(name)) {
      result.error = "The option " + name + " is given twice.";
      return result;
    }
    if (known->value.empty()) {
      if (inline_value) {
        result.error = "The option " + name + " takes no value.";
        return result;
      }
      line.flags.insert(name);
      continue;
    }
    if (!inline_value) {
      if (i + 1 >= args.size()) {
        result.error = "The option " + name + " needs a value (" + std::string(known->value) + ").";
        return result;
      }
      inline_value = args[++i];
    }
    line.values.emplace(name, *inline_value);
  }
  return result;
}

}  // namespace korimo::cli
