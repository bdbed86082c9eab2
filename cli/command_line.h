// The words of a korimo-cli command line: options ("--name" or "--name VALUE",
// also "--name=VALUE"; "-h" stands for "--help") wherever they stand, and the
// other words (command and operands) in order; the options it knows are those
// of the command table (command_table.h). A word such as "-5" is an
// operand, so a negative entry reaches the command that refuses it.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korimo::cli {

struct CommandLine {
  std::vector<std::string> words;
  std::map<std::string, std::string, std::less<>> values;  // options with a value
  std::set<std::string, std::less<>> flags;                // options without one

  bool Has(std::string_view option) const {
    return flags.contains(option) || values.contains(option);
  }
  std::optional<std::string> Value(std::string_view option) const;
  // Every option given, flags and values alike.
  std::vector<std::string> Options() const;
};

struct ParseResult {
  CommandLine line;
  std::string error;  // empty when the words parse
};

ParseResult ParseCommandLine(std::span<const std::string> args);

}  // namespace korimo::cli
