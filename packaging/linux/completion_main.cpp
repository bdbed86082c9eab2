// Writes korimo-cli's bash completion at build time: the template with its
// @TABLE@ line replaced by the command table as bash variables.
//
//   korimo-cli-completion TEMPLATE OUTPUT
#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "cli/command_table.h"

namespace {

using korimo::cli::Command;
using korimo::cli::Option;

// Adds `word` to a blank-separated list.
void Append(std::string& list, std::string_view word) {
  list += (list.empty() ? "" : " ") + std::string(word);
}

// "KX2 KX3 none" of "KX2|KX3|none": the alternatives of a value that are
// words to type, not the name of one (a name is all capitals: PATH, INDEX).
std::string Choices(std::string_view value) {
  std::string choices;
  if (value.find('|') == std::string_view::npos) {
    return choices;
  }
  std::istringstream alternatives{std::string(value)};
  for (std::string choice; std::getline(alternatives, choice, '|');) {
    if (!std::ranges::all_of(choice, [](char c) { return c >= 'A' && c <= 'Z'; })) {
      Append(choices, choice);
    }
  }
  return choices;
}

std::string Table() {
  std::string commands, options, operands, common, valued, files, choices;
  const auto add = [&](const Option& option) {
    if (option.value.empty() ||
        (" " + valued + " ").find(" " + std::string(option.name) + " ") != std::string::npos) {
      return;
    }
    Append(valued, option.name);
    if (option.value == "FILE") {
      Append(files, option.name);
    } else if (const std::string words = Choices(option.value); !words.empty()) {
      Append(choices, "[\"" + std::string(option.name) + "\"]=\"" + words + "\"");
    }
  };
  for (const Option& option : korimo::cli::CommonOptions()) {
    Append(common, option.name);
    add(option);
  }
  for (const Command& command : korimo::cli::Commands()) {
    const std::string name = "\"" + std::string(command.name) + "\"";
    Append(commands, name);
    std::string own;
    for (const Option& option : command.options) {
      Append(own, option.name);
      add(option);
    }
    Append(options, "[" + name + "]=\"" + own + "\"");
    if (!command.operands.empty()) {
      Append(operands, "[" + name + "]=\"" + std::string(command.operands) + "\"");
    }
  }
  std::ostringstream table;
  table << "  local commands=(" << commands << ")\n"
        << "  local -A options=(" << options << ")\n"
        << "  local -A operands=(" << operands << ")\n"
        << "  local common=\"" << common << "\"\n"
        << "  local valued=\"" << valued << "\"\n"
        << "  local files=\"" << files << "\"\n"
        << "  local -A choices=(" << choices << ")\n";
  return table.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: korimo-cli-completion TEMPLATE OUTPUT\n";
    return 1;
  }
  std::ifstream in(argv[1]);
  std::ostringstream script;
  for (std::string line; std::getline(in, line);) {
    script << (line == "@TABLE@" ? Table() : line + '\n');
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << script.str();
  out.close();
  if (!in.eof() || !out) {
    std::cerr << "korimo-cli-completion: cannot turn " << argv[1] << " into " << argv[2] << '\n';
    return 1;
  }
  return 0;
}
