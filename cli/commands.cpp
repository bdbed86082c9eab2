#include "cli/commands.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <sstream>

#include "cli/entries.h"
#include "korimo/version.h"

namespace korimo::cli {
namespace {

constexpr std::array<Command, 10> kCommands{{
    {"find", 0, "", "find", "Print the engraver's device path.", RunFind},
    {"read", 0, "--json", "read [--json]",
     "Read the serial number, the model code and the six parameters.", RunRead},
    {"set", 0, "--model --serial --max-x --max-y --max-z --raster --vector --z-speed",
     "set --model KX2|KX3 --serial N\n"
     "  set --model none --serial N --max-x N --max-y N --max-z N --raster N --vector N "
     "--z-speed N",
     "Store a configuration: the model's presets, or six values of your own (model code 0).",
     RunSet},
    {"eeprom dump", 0, "", "eeprom dump", "Show the parameter memory 0x20..0x5F in eight rows.",
     RunEEPromDump},
    {"eeprom write", 2, "", "eeprom write ADDR VALUE",
     "Write one byte: address below 64, value below 256 (&H20 is hexadecimal).", RunEEPromWrite},
    {"eeprom clear", 0, "", "eeprom clear", "Set 0x20..0x5F to 0xFF, then show them.",
     RunEEPromClear},
    {"clear-id", 0, "--yes", "clear-id [--yes]",
     "Reset the engraver's USB identity (VID/PID), after asking.", RunClearId},
    {"home", 0, "", "home", "Home the X and Y axes.", RunHome},
    {"inputs", 0, "", "inputs", "Show the keypad keys and table sensors.", RunInputs},
    {"positions", 0, "", "positions", "Show the X, Y and Z positions.", RunPositions},
}};

bool ListsOption(std::string_view list, std::string_view option) {
  std::istringstream words{std::string(list)};
  std::string word;
  while (words >> word) {
    if (word == option) {
      return true;
    }
  }
  return false;
}

std::size_t WordCount(std::string_view name) {
  return static_cast<std::size_t>(std::count(name.begin(), name.end(), ' ')) + 1;
}

// The command whose name the first words spell.
const Command* FindCommand(std::span<const std::string> words) {
  for (const Command& command : kCommands) {
    const std::size_t count = WordCount(command.name);
    if (words.size() < count) {
      continue;
    }
    std::string spelled = words[0];
    for (std::size_t i = 1; i < count; ++i) {
      spelled += ' ' + words[i];
    }
    if (spelled == command.name) {
      return &command;
    }
  }
  return nullptr;
}

int UsageError(std::ostream& err, const std::string& sentence) {
  err << sentence << "\nRun korimo-cli --help for the commands.\n";
  return kExitUsage;
}

}  // namespace

std::span<const Command> Commands() {
  return kCommands;
}

void PrintUsage(std::ostream& out) {
  out << "Usage: korimo-cli COMMAND [OPTIONS]\n\nCommands:\n";
  for (const Command& command : kCommands) {
    out << "  " << command.synopsis << "\n      " << command.help << '\n';
  }
  out << "\nOptions of every command:\n"
         "  --sim        use the built-in simulated engraver\n"
         "  --trace      show every packet on stderr (> written, < read, ! failed open)\n"
         "  --timeout S  give up a wait for the busy controller after S seconds (default 10)\n"
         "  --version    print the version of korimo-cli and end\n"
         "\nExit codes: 0 done, 1 usage error, 2 value refused, 3 no engraver found,\n"
         "4 the controller stayed busy too long.\n";
}

int RunCli(std::span<const std::string> args, Streams streams, const PortsProvider& ports) {
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
    return UsageError(streams.err, "Unknown command \"" + unknown + "\".");
  }
  for (const std::string& option : line.Options()) {
    if (!ListsOption(kCommonOptions, option) && !ListsOption(command->options, option)) {
      return UsageError(streams.err, "The command " + std::string(command->name) +
                                         " takes no option " + option + ".");
    }
  }
  const std::span<const std::string> operands =
      std::span(line.words).subspan(WordCount(command->name));
  if (operands.size() != command->operand_count) {
    return UsageError(streams.err, "Usage: korimo-cli " + std::string(command->synopsis));
  }
  double timeout = kDefaultTimeoutSeconds;
  if (const std::optional<std::string> text = line.Value("--timeout")) {
    const std::optional<double> seconds = TimeoutSeconds(*text);
    if (!seconds) {
      return UsageError(streams.err,
                        "--timeout needs a number of seconds above 0 (\"" + *text + "\" given).");
    }
    timeout = *seconds;
  }
  Session session(line, streams, ports, timeout);
  return command->run(session, operands);
}

}  // namespace korimo::cli
