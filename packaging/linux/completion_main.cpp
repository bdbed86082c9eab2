// Writes korimo-cli's bash completion at build time: the template with its
// @TABLE@ line replaced by the command table as bash variables.
//
//   korimo-cli-completion TEMPLATE OUTPUT
#include <algorithm>
#include <fstream>
#include <iostream>
#include <ranges>
#include <span>
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

// ["key"]="words", an element of a bash associative array.
std::string Entry(std::string_view key, std::string_view words) {
  return "[\"" + std::string(key) + "\"]=\"" + std::string(words) + "\"";
}

// "KX2 KX3 none" of "KX2|KX3|none": the alternatives of a value that are
// words to type, not the name of one (a name is all capitals: PATH, INDEX).
std::string Choices(std::string_view value) {
  std::string choices;
  if (value.find('|') == std::string_view::npos) {
    return choices;
  }
  for (const auto choice : std::views::split(value, '|')) {
    if (!std::ranges::all_of(choice, [](char c) { return c >= 'A' && c <= 'Z'; })) {
      Append(choices, std::string_view(choice.begin(), choice.end()));
    }
  }
  return choices;
}

std::string Table() {
  std::string commands, options, operands, valued, files, choices;
  // The names of `list`; the first time an option with a value is seen, it
  // joins valued, and files or choices.
  const auto names_of = [&](std::span<const Option> list) {
    std::string names;
    for (const Option& option : list) {
      Append(names, option.name);
      if (option.value.empty() ||
          (" " + valued + " ").find(" " + std::string(option.name) + " ") != std::string::npos) {
        continue;
      }
      Append(valued, option.name);
      if (option.value == "FILE") {
        Append(files, option.name);
      } else if (const std::string words = Choices(option.value); !words.empty()) {
        Append(choices, Entry(option.name, words));
      }
    }
    return names;
  };
  const std::string common = names_of(korimo::cli::CommonOptions());
  for (const Command& command : korimo::cli::Commands()) {
    Append(commands, "\"" + std::string(command.name) + "\"");
    Append(options, Entry(command.name, names_of(command.options)));
    if (!command.operands.empty()) {
      Append(operands, Entry(command.name, command.operands));
    }
  }
  return "  local commands=(" + commands + ")\n  local -A options=(" + options +
         ")\n  local -A operands=(" + operands + ")\n  local common=\"" + common +
         "\"\n  local valued=\"" + valued + "\"\n  local files=\"" + files +
         "\"\n  local -A choices=(" + choices + ")\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: korimo-cli-completion TEMPLATE OUTPUT\n";
    return 1;
  }
  std::ifstream in(argv[1]);
  std::string script;
  for (std::string line; std::getline(in, line);) {
    script += line == "@TABLE@" ? Table() : line + '\n';
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << script;
  out.close();
  if (!in.eof() || !out) {
    std::cerr << "korimo-cli-completion: cannot turn " << argv[1] << " into " << argv[2] << '\n';
    return 1;
  }
  return 0;
}
