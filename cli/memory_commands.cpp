// eeprom dump / write / clear and clear-id: the memory editor's commands and
// the USB identity reset.
#include <algorithm>
#include <array>
#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/entries.h"
#include "cli/history.h"
#include "config/memory_map.h"
#include "config/plan_runner.h"
#include "config/service_texts.h"

namespace korimo::cli {
namespace {

constexpr std::uint8_t kRowLength = 8;

bool IsYes(std::string answer) {
  answer.erase(answer.find_last_not_of(" \t\n\v\f\r") + 1);
  std::ranges::transform(answer, answer.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return answer == "y" || answer == "yes";
}

// Keeps a history entry of `command`, then writes the one cell: kExitOk, or
// the exit code once the user has been told why not (`nothing_done` after a
// wait that gave up, `not_reached` when the write did not arrive).
int WriteOneCell(Session& session, modKT90& kt90, std::string_view command, CellValue value,
                 const std::string& nothing_done, std::string_view not_reached) {
  const std::array cell{value};
  if (const int refused = KeepHistory(session, kt90, command, cell); refused != kExitOk) {
    return refused;
  }
  const bool delivered = WriteCells(kt90, cell, RunStop::kNever).reached == 1;
  if (session.TimedOut(nothing_done)) {
    return kExitTimedOut;
  }
  if (!delivered) {
    session.Err() << not_reached << '\n';
    return kExitCutShort;
  }
  return kExitOk;
}

}  // namespace

// The eight rows 0x20..0x5F, also after a clear: kExitOk, or the exit code
// once the user has been told why the dump stopped (a wait gave up, a cell
// did not answer).
int RunEEPromDump(Session& session, modKT90& kt90) {
  for (unsigned first = memory::kFixedBlockFirst; first <= memory::kFixedBlockLast;
       first += kRowLength) {
    std::array<std::uint8_t, kRowLength> values{};
    for (unsigned i = 0; i < kRowLength; ++i) {
      const auto address = static_cast<std::uint8_t>(first + i);
      const std::optional<std::uint8_t> value = kt90.ReadEEPromByte(address);
      if (session.TimedOut("the dump stopped at " + HexByte(static_cast<std::uint8_t>(first)))) {
        return kExitTimedOut;
      }
      if (!value) {
        return session.NoAnswer("cell " + HexByte(address), "the dump stopped there");
      }
      values[i] = *value;
    }
    session.Out() << FormatMemoryRow(static_cast<std::uint8_t>(first), values) << '\n';
  }
  return kExitOk;
}

int RunEEPromWrite(Session& session, std::span<const std::string> operands) {
  const std::optional<std::uint8_t> address =
      EditorEntry(operands[0], memory::kEditorAddressLimit, "address", session.Err());
  if (!address) {
    return kExitRefused;
  }
  const std::optional<std::uint8_t> value =
      EditorEntry(operands[1], memory::kEditorValueLimit, "value", session.Err());
  if (!value) {
    return kExitRefused;
  }
  modKT90* kt90 = session.Connect();
  if (kt90 == nullptr) {
    return session.ConnectFailure();
  }
  if (const int failed = WriteOneCell(
          session, *kt90, "eeprom-write", {*address, *value}, "nothing was written",
          "The value did not reach the engraver; write it again once it is connected.");
      failed != kExitOk) {
    return failed;
  }
  session.Out() << "Wrote " << HexByte(*value) << " at " << HexByte(*address) << ".\n";
  return kExitOk;
}

int RunEEPromClear(Session& session, modKT90& kt90) {
  const std::vector<CellValue> cells = ClearedBlock();
  if (const int refused = KeepHistory(session, kt90, "eeprom-clear", cells); refused != kExitOk) {
    return refused;
  }
  const CellRun run = WriteCells(kt90, cells, RunStop::kWhenGaveUp);
  if (run.gave_up &&
      session.TimedOut("the clear stopped at " + HexByte(cells[run.tried - 1].first))) {
    return kExitTimedOut;
  }
  if (run.reached != cells.size()) {
    session.Err() << NotDeliveredMessage(run.reached, cells.size(), "cells", "Clear") << '\n';
    return kExitCutShort;
  }
  return RunEEPromDump(session, kt90);
}

int RunClearId(Session& session, modKT90& kt90) {
  if (!session.Line().Has("--yes")) {
    session.Out() << kClearIdQuestion << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(session.In(), answer) || !IsYes(answer)) {
      session.Out() << "Nothing was sent.\n";
      return kExitOk;
    }
  }
  if (const int failed =
          WriteOneCell(session, kt90, "clear-id", {memory::kUsbIdentity, 0x00}, "nothing was sent",
                       "The USB identity reset did not reach the engraver; send it "
                       "again once it is connected.");
      failed != kExitOk) {
    return failed;
  }
  session.Out() << "The USB identity reset was sent.\n";
  return kExitOk;
}

}  // namespace korimo::cli
