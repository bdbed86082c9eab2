// korimo-cli's commands, options and exit codes as data: the parser, the
// checks of a command line, the usage text and the bash completion (written at
// build time by packaging/linux/completion_main.cpp) are all read from here.
// A new option is one record, in CommonOptions() or in its command's list.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korimo::cli {

class Session;

using Handler = int (*)(Session& session, std::span<const std::string> operands);

struct Option {
  std::string_view name;   // with its leading "--"
  std::string_view value;  // the value's name ("S", "KX2|KX3|none"); empty for a flag
  // Its lines in the usage text, indented as they are printed; empty for one
  // that its command's help describes.
  std::string_view help = {};
};

struct Command {
  std::string_view name;        // one or two words: "read", "eeprom write"
  std::string_view operands;    // their names, blank-separated; "[FILE]" may be left out
  std::vector<Option> options;  // the command's own
  Handler run;
  bool writes;  // changes the engraver: with several connected it needs --device
  std::string_view help;
  // The usage line(s) when "name operands [options]" does not say it.
  std::string synopsis = {};
};

struct ExitCodeMeaning {
  int code;
  std::string_view meaning;  // as the usage text words it
};

std::span<const Command> Commands();
// Options every command takes.
std::span<const Option> CommonOptions();
std::span<const ExitCodeMeaning> ExitCodes();

// The option of that name among `options`; nullptr for none.
const Option* FindOption(std::span<const Option> options, std::string_view name);
// The option of that name, common or of any command; nullptr for none.
const Option* FindOption(std::string_view name);
// The command whose name the first words spell; nullptr for none.
const Command* FindCommand(std::span<const std::string> words);
// The words of a command's name: 1 or 2.
std::size_t WordCount(std::string_view name);

}  // namespace korimo::cli
