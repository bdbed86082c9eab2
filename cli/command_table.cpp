#include "cli/command_table.h"

#include <algorithm>

#include "cli/cli.h"
#include "cli/commands.h"
#include "config/parameter_fields.h"

namespace korimo::cli {
namespace {

constexpr Option kModel{"--model", "KX2|KX3|none"};
constexpr Option kVerify{"--verify", ""};
constexpr Option kForce{"--force", ""};
constexpr Option kJson{"--json", ""};
constexpr Option kDryRun{"--dry-run", ""};
constexpr Option kIncludeIdentity{"--include-identity", ""};
// Skips the copy of the 256 cells kept in the history before a write.
constexpr Option kNoHistory{"--no-history", ""};

// The handler of a command that works on its engraver from the start: run on
// the link once connected, or the exit code of the connect failure.
template <int (*run)(Session&, modKT90&)>
int Connected(Session& session, std::span<const std::string>) {
  modKT90* kt90 = session.Connect();
  return kt90 != nullptr ? run(session, *kt90) : session.ConnectFailure();
}

// set's options: the model, the serial number, one per parameter field, --verify.
std::vector<Option> SetOptions() {
  std::vector<Option> options{kModel, {"--serial", "N"}};
  for (const ParameterFieldRecord& field : kParameterFields) {
    options.push_back({field.option, "N"});
  }
  options.insert(options.end(), {kVerify, kNoHistory});
  return options;
}

std::string SetSynopsis() {
  std::string synopsis = "set --model KX2|KX3 --serial N [--verify]\n  set --model none --serial N";
  for (const ParameterFieldRecord& field : kParameterFields) {
    synopsis += " " + std::string(field.option) + " N";
  }
  return synopsis + " [--verify]";
}

}  // namespace

std::size_t WordCount(std::string_view name) {
  return static_cast<std::size_t>(std::ranges::count(name, ' ')) + 1;
}

std::span<const Command> Commands() {
  // clang-format off
  static const std::vector<Command> kCommands{
      {"list", "", {kJson}, RunList, false,
       "List every engraver found: index, device path, and its serial number and model, or why\n"
       "      it cannot be used."},
      {"find", "", {}, Connected<RunFind>, false, "Print the engraver's device path."},
      {"read", "", {kJson}, Connected<RunRead>, false,
       "Read the serial number, the model code and the six parameters."},
      {"set", "", SetOptions(), RunSet, true,
       "Store a configuration: the model's presets, or six values of your own (model code 0).\n"
       "      --verify reads every written cell back and compares.",
       SetSynopsis()},
      {"eeprom dump", "", {}, Connected<RunEEPromDump>, false,
       "Show the parameter memory 0x20..0x5F in eight rows."},
      {"eeprom write", "ADDR VALUE", {kNoHistory}, RunEEPromWrite, true,
       "Write one byte: address below 64, value below 256 (&H20 is hexadecimal)."},
      {"eeprom clear", "", {kNoHistory}, Connected<RunEEPromClear>, true, "Set 0x20..0x5F to 0xFF, then show them."},
      {"clear-id", "", {{"--yes", ""}, kNoHistory}, Connected<RunClearId>, true,
       "Reset the engraver's USB identity (VID/PID), after asking."},
      {"backup", "FILE", {kForce}, RunBackup, false,
       "Read all 256 memory cells into a text file; --force replaces an existing file."},
      {"restore", "FILE", {kDryRun, kIncludeIdentity, {"--include-serial", ""}, kNoHistory},
       RunRestore, true,
       "Write the cells that differ from a backup, then verify them; never the USB identity\n"
       "      cell 0xE0 unless --include-identity, nor the serial number (0x05, 0x06) of a board\n"
       "      whose serial differs from the backup's unless --include-serial; --dry-run only\n"
       "      lists the changes."},
      {"diff", "FILE", {}, RunDiff, false,
       "Compare the engraver's memory with a backup, cell by cell."},
      {"history", "", {{"--all", ""}}, RunHistory, false,
       "The copies kept before each write to the engraver, newest first: time, command, serial\n"
       "      number and model before it, and how many cells differ from the engraver now;\n"
       "      --all lists every board's without reaching an engraver."},
      {"undo", "[ENTRY]", {kDryRun, kIncludeIdentity, kNoHistory}, RunUndo, true,
       "Write back the newest copy of the history (or ENTRY: its number in history, or its\n"
       "      file name) as restore does, serial number included, after keeping a copy of its\n"
       "      own; never 0xE0 unless --include-identity; --dry-run only lists the changes."},
      {"provision", "",
       {kModel, {"--serials", "FIRST[-LAST]"}, {"--log", "FILE"}, {"--count", "N"}, kVerify,
        {"--overwrite-serial", ""}, {"--history", ""}, {"--ledger", "CONNECTION"},
        {"--station", "NAME"}},
       RunProvision, true,
       "Set each engraver that arrives to the model with the next serial number, claimed first\n"
       "      in the log (CSV, locked) or the --ledger database (ODBC connection string), verify\n"
       "      every written cell and record it, then wait for it to be unplugged; Ctrl+C ends\n"
       "      the run.",
       "provision --model KX2|KX3 --serials FIRST[-LAST] --log FILE [--count N] [--verify]\n"
       "  provision ... [--overwrite-serial] [--history] [--ledger CONNECTION [--station NAME]]"},
      {"report", "[FILE]", {kForce}, RunReport, false,
       "A read-only report for support: version, platform, the engravers found, one status\n"
       "      packet and the 256 memory cells of the chosen one; to FILE or the terminal."},
      {"home", "", {}, Connected<RunHome>, true, "Home the X and Y axes."},
      {"inputs", "", {}, Connected<RunInputs>, false, "Show the keypad keys and table sensors."},
      {"positions", "", {}, Connected<RunPositions>, false, "Show the X, Y and Z positions."},
  };
  // clang-format on
  return kCommands;
}

std::span<const Option> CommonOptions() {
  static constexpr Option kCommon[] = {
      {"--sim", "", "use the built-in simulated engraver"},
      {"--trace", "", "show every packet on stderr (> written, < read, ! failed open)"},
      {"--timeout", "S", "give up a wait for the busy controller after S seconds (default 10)"},
      {"--device", "PATH|INDEX",
       "the engraver to use, by its path or its index in list; with several\n"
       "               connected, commands that write need it, the others use the first"},
      {"--help", ""},
      {"--version", "", "print the version of korimo-cli and end"},
  };
  return kCommon;
}

std::span<const ExitCodeMeaning> ExitCodes() {
  static constexpr ExitCodeMeaning kCodes[] = {
      {kExitOk, "done"},
      {kExitUsage, "usage error"},
      {kExitRefused, "value refused"},
      {kExitNoEngraver, "no engraver found"},
      {kExitTimedOut, "the controller stayed busy too long"},
      {kExitCutShort, "not every write reached the engraver"},
      {kExitDiffers, "verification found cells that differ"},
      {kExitSeveral,
       "several engravers are connected and none was chosen with --device (nothing was written)"},
      {kExitSomeFailed, "provision: a board failed"},
      {kExitNoAnswer,
       "the engraver did not answer a read (the sentence names what could not be read; nothing "
       "was taken from it)"},
      {kExitInterrupted, "provision ended by Ctrl+C"},
  };
  return kCodes;
}

const Option* FindOption(std::span<const Option> options, std::string_view name) {
  const auto found = std::ranges::find(options, name, &Option::name);
  return found != options.end() ? &*found : nullptr;
}

const Option* FindOption(std::string_view name) {
  if (const Option* common = FindOption(CommonOptions(), name)) {
    return common;
  }
  for (const Command& command : Commands()) {
    if (const Option* own = FindOption(command.options, name)) {
      return own;
    }
  }
  return nullptr;
}

const Command* FindCommand(std::span<const std::string> words) {
  for (const Command& command : Commands()) {
    const std::size_t count = WordCount(command.name);
    if (words.size() >= count &&
        (count == 1 ? words[0] : words[0] + ' ' + words[1]) == command.name) {
      return &command;
    }
  }
  return nullptr;
}

}  // namespace korimo::cli
