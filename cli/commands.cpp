#include "cli/commands.h"

#include <algorithm>
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

// How many operands a command takes, and their names without brackets.
struct OperandCount {
  std::size_t least = 0;
  std::size_t most = 0;
  std::string names;
};

OperandCount OperandsOf(const Command& command) {
  OperandCount count;
  std::istringstream names{std::string(command.operands)};
  for (std::string name; names >> name; ++count.most) {
    count.least += name.starts_with('[') ? 0U : 1U;
    std::erase_if(name, [](char c) { return c == '[' || c == ']'; });
    count.names += (count.names.empty() ? "" : " ") + name;
  }
  return count;
}

// "eeprom write takes two operands, ADDR VALUE; 3 were given."
std::string OperandSentence(const Command& command, const OperandCount& count, std::size_t given) {
  static constexpr std::array<std::string_view, 3> kCounts{"no operands", "one operand",
                                                           "two operands"};
  const std::string sentence =
      std::string(command.name) + " takes " + (count.least < count.most ? "at most " : "") +
      std::string(kCounts.at(count.most)) + (count.names.empty() ? "" : ", " + count.names);
  const std::string given_text = given == 1 ? "1 was" : std::to_string(given) + " were";
  return sentence + "; " + given_text + " given.";
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

// The option lines of the usage text: the name and its value in a column of 13,
// the help beside it, or below when they do not leave it room.
void PrintOptions(std::ostream& out, std::span<const Option> options) {
  static constexpr std::size_t kColumn = 13;
  for (const Option& option : options) {
    if (!option.help.empty()) {
      std::string head(option.name);
      head += option.value.empty() ? "" : " " + std::string(option.value);
      out << "  " << head
          << (head.size() + 2 <= kColumn ? std::string(kColumn - head.size(), ' ')
                                         : "\n" + std::string(kColumn + 2, ' '))
          << option.help << '\n';
    }
  }
}

// "Exit codes: 0 done, 1 usage error, ...", in lines of at most 79 characters;
// a code stays on the line of its meaning.
void PrintExitCodes(std::ostream& out) {
  static constexpr std::size_t kWidth = 79;
  std::string line = "Exit codes:";
  const auto put = [&](const std::string& word) {
    if (line.size() + 1 + word.size() > kWidth) {
      out << line << '\n';
      line = word;
    } else {
      line += ' ' + word;
    }
  };
  for (const ExitCodeMeaning& exit : ExitCodes()) {
    std::istringstream words{std::string(exit.meaning) +
                             (&exit == &ExitCodes().back() ? "." : ",")};
    std::string word;
    words >> word;
    put(std::to_string(exit.code) + ' ' + word);
    while (words >> word) {
      put(word);
    }
  }
  out << line << '\n';
}

}  // namespace

void PrintUsage(std::ostream& out) {
  out << "Usage: korimo-cli COMMAND [OPTIONS]\n\nCommands:\n";
  for (const Command& command : Commands()) {
    out << "  " << Synopsis(command) << "\n      " << command.help << '\n';
  }
  out << "\nOptions of every command:\n";
  PrintOptions(out, CommonOptions());
  out << '\n';
  PrintExitCodes(out);
}

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
    std::string unknown = line.words[0];
    if (unknown == "eeprom" && line.words.size() > 1) {
      unknown += ' ' + line.words[1];
    }
    return UsageError(streams.err, "Unknown command " + Echo(unknown) + ".");
  }
  for (const std::string& option : line.Options()) {
    const auto named = [&](const Option& known) { return known.name == option; };
    if (!std::ranges::any_of(CommonOptions(), named) &&
        !std::ranges::any_of(command->options, named)) {
      return UsageError(streams.err, "The command " + std::string(command->name) +
                                         " takes no option " + option + ".");
    }
  }
  const std::span<const std::string> operands =
      std::span(line.words).subspan(WordCount(command->name));
  const OperandCount count = OperandsOf(*command);
  if (operands.size() < count.least || operands.size() > count.most) {
    return UsageError(streams.err, OperandSentence(*command, count, operands.size()));
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
  return command->run(session, operands);
}

}  // namespace korimo::cli
