#include "cli/commands.h"

#include <array>
#include <ctime>
#include <ostream>
#include <sstream>

#include "cli/command_table.h"
#include "cli/entries.h"
#include "config/numeric.h"
#include "korimo/version.h"

namespace korimo::cli {
namespace {

int UsageError(std::ostream& err, const std::string& sentence) {
  err << sentence << "\nRun korimo-cli --help for the commands.\n";
  return kExitUsage;
}

// "eeprom write takes two operands, ADDR VALUE; 3 were given.", or nothing
// when `given` is as many operands as the command takes.
std::string OperandTrouble(const Command& command, std::size_t given) {
  static constexpr std::array<std::string_view, 3> kCounts{"no operands", "one operand",
                                                           "two operands"};
  std::size_t least = 0;
  std::size_t most = 0;
  std::string names;
  std::istringstream words{std::string(command.operands)};
  for (std::string name; words >> name; ++most) {
    least += name.starts_with('[') ? 0U : 1U;
    std::erase_if(name, [](char c) { return c == '[' || c == ']'; });
    names += (names.empty() ? "" : " ") + name;
  }
  if (given >= least && given <= most) {
    return {};
  }
  return std::string(command.name) + " takes " + (least < most ? "at most " : "") +
         std::string(kCounts.at(most)) + (names.empty() ? "" : ", " + names) + "; " +
         (given == 1 ? "1 was" : std::to_string(given) + " were") + " given.";
}

// The command's usage line(s).
std::string Synopsis(const Command& command) {
  if (!command.synopsis.empty()) {
    return command.synopsis;
  }
  std::string synopsis(command.name);
  if (!command.operands.empty()) {
    synopsis += " " + std::string(command.operands);
  }
  for (const Option& option : command.options) {
    synopsis += " [" + std::string(option.name) +
                (option.value.empty() ? "" : " " + std::string(option.value)) + "]";
  }
  return synopsis;
}

void PrintUsage(std::ostream& out) {
  out << "Usage: korimo-cli COMMAND [OPTIONS]\n\nCommands:\n";
  for (const Command& command : Commands()) {
    out << "  " << Synopsis(command) << "\n      " << command.help << '\n';
  }
  // The name and its value in a column of 13, the help beside it, or below
  // when they do not leave it room.
  static constexpr std::size_t kColumn = 13;
  out << "\nOptions of every command:\n";
  for (const Option& option : CommonOptions()) {
    if (!option.help.empty()) {
      std::string head(option.name);
      head += option.value.empty() ? "" : " " + std::string(option.value);
      out << "  " << head
          << (head.size() + 2 <= kColumn ? std::string(kColumn - head.size(), ' ')
                                         : "\n" + std::string(kColumn + 2, ' '))
          << option.help << '\n';
    }
  }
  out << "\nBefore set, restore, undo, eeprom write, eeprom clear and clear-id write, the 256 "
         "cells\n"
         "are kept in the history (--no-history skips it; provision keeps them with "
         "--history).\n\n";
  // "Exit codes: 0 done, 1 usage error, ...", in lines of at most 79
  // characters; a code stays on the line of its meaning.
  static constexpr std::size_t kWidth = 79;
  std::string line = "Exit codes:";
  for (const ExitCodeMeaning& exit : ExitCodes()) {
    std::istringstream words{std::string(exit.meaning) +
                             (&exit == &ExitCodes().back() ? "." : ",")};
    std::string word;
    words >> word;
    word = std::to_string(exit.code) + ' ' + word;
    do {
      if (line.size() + 1 + word.size() > kWidth) {
        out << line << '\n';
        line = word;
      } else {
        line += ' ' + word;
      }
    } while (words >> word);
  }
  out << line << '\n';
}

}  // namespace

std::string UtcText() {
  const std::time_t now = std::time(nullptr);
  char text[32] = {};
  if (const std::tm* utc = std::gmtime(&now)) {
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
  }
  return text;
}

int RunCli(std::span<const std::string> args, Streams streams, const PortsProvider& ports) {
  class NoWaits final : public Pacer {
   public:
    void Pause(std::chrono::milliseconds) override {}
    void CatchStop() override {}
    bool StopAsked() override { return false; }
    std::string UtcNow() override { return UtcText(); }
  } pacer;
  return RunCli(args, streams, ports, pacer);
}

int RunCli(std::span<const std::string> args, Streams streams, const PortsProvider& ports,
           Pacer& pacer) {
  const ParseResult parsed = ParseCommandLine(args);
  if (!parsed.error.empty()) {
    return UsageError(streams.err, parsed.error);
  }
  const CommandLine& line = parsed.line;
  if (line.Has("--version")) {
    streams.out << "korimo-cli " << kVersion << '\n';
    return kExitOk;
  }
  if (line.Has("--help") || (line.words.size() == 1 && line.words[0] == "help")) {
    PrintUsage(streams.out);
    return kExitOk;
  }
  if (line.words.empty()) {
    PrintUsage(streams.err);
    return kExitUsage;
  }
  const Command* command = FindCommand(line.words);
  if (command == nullptr) {
    const std::string unknown = line.words[0] == "eeprom" && line.words.size() > 1
                                    ? line.words[0] + ' ' + line.words[1]
                                    : line.words[0];
    return UsageError(streams.err, "Unknown command " + Echo(unknown) + ".");
  }
  for (const std::string& option : line.Options()) {
    if (FindOption(CommonOptions(), option) == nullptr &&
        FindOption(command->options, option) == nullptr) {
      return UsageError(streams.err, "The command " + std::string(command->name) +
                                         " takes no option " + option + ".");
    }
  }
  const std::span<const std::string> operands =
      std::span(line.words).subspan(WordCount(command->name));
  if (const std::string trouble = OperandTrouble(*command, operands.size()); !trouble.empty()) {
    return UsageError(streams.err, trouble);
  }
  double timeout = kDefaultTimeoutSeconds;
  if (const std::optional<std::string> text = line.Value("--timeout")) {
    const std::optional<double> seconds = TimeoutSeconds(*text);
    if (!seconds) {
      const bool too_long = IsNumber(*text) && NumericValue(*text) > kLongestTimeout;
      return UsageError(
          streams.err,
          too_long ? "--timeout is at most 86400 seconds (one day); " + Echo(*text) + " given."
                   : "--timeout needs a number of seconds above 0 (" + Echo(*text) + " given).");
    }
    timeout = *seconds;
  }
  // restore --dry-run only reads.
  const bool writes = command->writes && !line.Has("--dry-run");
  Session session(line, streams, ports, timeout, writes, pacer);
  const int exit_code = command->run(session, operands);
  if (exit_code == kExitOk) {
    session.Succeeded();
  }
  return exit_code;
}

}  // namespace korimo::cli
