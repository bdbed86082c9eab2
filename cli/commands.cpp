#include "cli/commands.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <ostream>
#include <sstream>

#include "cli/entries.h"
#include "config/numeric.h"
#include "korimo/version.h"

namespace korimo::cli {
namespace {

constexpr std::array<Command, 16> kCommands{{
    {"list", 0, "--json", "list [--json]",
     "List every engraver found: index, device path, and its serial number and model, or why\n"
     "      it cannot be used.",
     RunList, false, false},
    {"find", 0, "", "find", "Print the engraver's device path.", RunFind, false, false},
    {"read", 0, "--json", "read [--json]",
     "Read the serial number, the model code and the six parameters.", RunRead, false, false},
    {"set", 0, "--model --serial --max-x --max-y --max-z --raster --vector --z-speed --verify",
     "set --model KX2|KX3 --serial N [--verify]\n"
     "  set --model none --serial N --max-x N --max-y N --max-z N --raster N --vector N "
     "--z-speed N [--verify]",
     "Store a configuration: the model's presets, or six values of your own (model code 0).\n"
     "      --verify reads every written cell back and compares.",
     RunSet, true, false},
    {"eeprom dump", 0, "", "eeprom dump", "Show the parameter memory 0x20..0x5F in eight rows.",
     RunEEPromDump, false, false},
    {"eeprom write", 2, "", "eeprom write ADDR VALUE",
     "Write one byte: address below 64, value below 256 (&H20 is hexadecimal).", RunEEPromWrite,
     true, false},
    {"eeprom clear", 0, "", "eeprom clear", "Set 0x20..0x5F to 0xFF, then show them.",
     RunEEPromClear, true, false},
    {"clear-id", 0, "--yes", "clear-id [--yes]",
     "Reset the engraver's USB identity (VID/PID), after asking.", RunClearId, true, false},
    {"backup", 1, "--force", "backup FILE [--force]",
     "Read all 256 memory cells into a text file; --force replaces an existing file.", RunBackup,
     false, false},
    {"restore", 1, "--dry-run --include-identity --include-serial",
     "restore FILE [--dry-run] [--include-identity] [--include-serial]",
     "Write the cells that differ from a backup, then verify them; never the USB identity\n"
     "      cell 0xE0 unless --include-identity, nor the serial number (0x05, 0x06) of a board\n"
     "      whose serial differs from the backup's unless --include-serial; --dry-run only\n"
     "      lists the changes.",
     RunRestore, true, false},
    {"diff", 1, "", "diff FILE", "Compare the engraver's memory with a backup, cell by cell.",
     RunDiff, false, false},
    {"provision", 0,
     "--model --serials --log --count --verify --overwrite-serial --ledger --station",
     "provision --model KX2|KX3 --serials FIRST[-LAST] --log FILE [--count N] [--verify]\n"
     "  provision ... [--overwrite-serial] [--ledger CONNECTION [--station NAME]]",
     "Set each engraver that arrives to the model with the next serial number, claimed first\n"
     "      in the log (CSV, locked) or the --ledger database (ODBC connection string), verify\n"
     "      every written cell and record it, then wait for it to be unplugged; Ctrl+C ends\n"
     "      the run.",
     RunProvision, true, false},
    {"report", 1, "--force", "report [FILE] [--force]",
     "A read-only report for support: version, platform, the engravers found, one status\n"
     "      packet and the 256 memory cells of the chosen one; to FILE or the terminal.",
     RunReport, false, true},
    {"home", 0, "", "home", "Home the X and Y axes.", RunHome, true, false},
    {"inputs", 0, "", "inputs", "Show the keypad keys and table sensors.", RunInputs, false, false},
    {"positions", 0, "", "positions", "Show the X, Y and Z positions.", RunPositions, false, false},
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

// "eeprom write takes two operands, ADDR VALUE; 3 were given."
std::string OperandSentence(const Command& command, std::size_t given) {
  static constexpr std::array<std::string_view, 3> kCounts{"no operands", "one operand",
                                                           "two operands"};
  std::string sentence = std::string(command.name) + " takes " +
                         (command.optional_operand ? "at most " : "") +
                         std::string(kCounts.at(command.operand_count));
  if (command.optional_operand) {
    sentence += ", FILE";
  } else if (command.operand_count > 0) {
    const std::string_view first_line = command.synopsis.substr(0, command.synopsis.find('\n'));
    std::string_view names = first_line.substr(command.name.size());
    names = names.substr(0, names.find(" ["));
    sentence += "," + std::string(names);
  }
  const std::string count = given == 1 ? "1 was" : std::to_string(given) + " were";
  return sentence + "; " + count + " given.";
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
         "  --device PATH|INDEX\n"
         "               the engraver to use, by its path or its index in list; with several\n"
         "               connected, commands that write need it, the others use the first\n"
         "  --version    print the version of korimo-cli and end\n"
         "\nExit codes: 0 done, 1 usage error, 2 value refused, 3 no engraver found,\n"
         "4 the controller stayed busy too long, 5 not every write reached the engraver,\n"
         "6 verification found cells that differ, 7 several engravers are connected and\n"
         "none was chosen with --device (nothing was written), 8 provision: a board failed,\n"
         "9 the engraver did not answer a read (the sentence names what could not be read;\n"
         "nothing was taken from it), 130 provision ended by Ctrl+C.\n";
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
    if (!ListsOption(kCommonOptions, option) && !ListsOption(command->options, option)) {
      return UsageError(streams.err, "The command " + std::string(command->name) +
                                         " takes no option " + option + ".");
    }
  }
  const std::span<const std::string> operands =
      std::span(line.words).subspan(WordCount(command->name));
  const bool operands_fit =
      operands.size() == command->operand_count ||
      (command->optional_operand && operands.size() + 1 == command->operand_count);
  if (!operands_fit) {
    return UsageError(streams.err, OperandSentence(*command, operands.size()));
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
