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

// set's options: the model, the serial number, one per parameter field, --verify.
std::vector<Option> SetOptions() {
  std::vector<Option> options{kModel, {"--serial", "N"}};
  for (const ParameterFieldRecord& field : kParameterFields) {
    options.push_back({field.option, "N"});
  }
  options.push_back(kVerify);
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
  static const std::vector<Command> kCommands{
      {"list",
       "",
       {kJson},
       "List every engraver found: index, device path, and its serial number and model, or why\n"
       "      it cannot be used.",
       RunList,
       false},
      {"find", "", {}, "Print the engraver's device path.", RunFind, false},
      {"read",
       "",
       {kJson},
       "Read the serial number, the model code and the six parameters.",
       RunRead,
       false},
      {"set", "", SetOptions(),
       "Store a configuration: the model's presets, or six values of your own (model code 0).\n"
       "      --verify reads every written cell back and compares.",
       RunSet, true, SetSynopsis()},
      {"eeprom dump",
       "",
       {},
       "Show the parameter memory 0x20..0x5F in eight rows.",
       RunEEPromDump,
       false},
      {"eeprom write",
       "ADDR VALUE",
       {},
       "Write one byte: address below 64, value below 256 (&H20 is hexadecimal).",
       RunEEPromWrite,
       true},
      {"eeprom clear", "", {}, "Set 0x20..0x5F to 0xFF, then show them.", RunEEPromClear, true},
      {"clear-id",
       "",
       {{"--yes", ""}},
       "Reset the engraver's USB identity (VID/PID), after asking.",
       RunClearId,
       true},
      {"backup",
       "FILE",
       {kForce},
       "Read all 256 memory cells into a text file; --force replaces an existing file.",
       RunBackup,
       false},
      {"restore",
       "FILE",
       {{"--dry-run", ""}, {"--include-identity", ""}, {"--include-serial", ""}},
       "Write the cells that differ from a backup, then verify them; never the USB identity\n"
       "      cell 0xE0 unless --include-identity, nor the serial number (0x05, 0x06) of a board\n"
       "      whose serial differs from the backup's unless --include-serial; --dry-run only\n"
       "      lists the changes.",
       RunRestore,
       true},
      {"diff",
       "FILE",
       {},
       "Compare the engraver's memory with a backup, cell by cell.",
       RunDiff,
       false},
      {"provision",
       "",
       {kModel,
        {"--serials", "FIRST[-LAST]"},
        {"--log", "FILE"},
        {"--count", "N"},
        kVerify,
        {"--overwrite-serial", ""}},
       "Set each engraver that arrives to the model with the next serial number, verify every\n"
       "      written cell and log it (CSV), then wait for it to be unplugged; Ctrl+C ends the "
       "run.",
       RunProvision,
       true,
       "provision --model KX2|KX3 --serials FIRST[-LAST] --log FILE [--count N] [--verify]\n"
       "  provision ... [--overwrite-serial]"},
      {"report",
       "[FILE]",
       {kForce},
       "A read-only report for support: version, platform, the engravers found, one status\n"
       "      packet and the 256 memory cells of the chosen one; to FILE or the terminal.",
       RunReport,
       false},
      {"home", "", {}, "Home the X and Y axes.", RunHome, true},
      {"inputs", "", {}, "Show the keypad keys and table sensors.", RunInputs, false},
      {"positions", "", {}, "Show the X, Y and Z positions.", RunPositions, false},
  };
  return kCommands;
}

std::span<const Option> CommonOptions() {
  static constexpr Option kCommon[] = {
      {"--sim", "", "use the built-in simulated engraver"},
      {"--trace", "", "show every packet on stderr (> written, < read, ! failed open)"},
      {"--timeout", "S", "give up a wait for the busy controller after S seconds (default 10)"},
      {"--device", "PATH|INDEX",
       "the engraver to use, by its path or its index in list; with several\n"
       "connected, commands that write need it, the others use the first"},
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

const Option* FindOption(std::string_view name) {
  const auto named = [&](const Option& option) { return option.name == name; };
  if (const auto common = std::ranges::find_if(CommonOptions(), named);
      common != CommonOptions().end()) {
    return &*common;
  }
  for (const Command& command : Commands()) {
    if (const auto own = std::ranges::find_if(command.options, named);
        own != command.options.end()) {
      return &*own;
    }
  }
  return nullptr;
}

const Command* FindCommand(std::span<const std::string> words) {
  for (const Command& command : Commands()) {
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

}  // namespace korimo::cli
