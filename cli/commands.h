// What korimo-cli's commands share, and their handlers (listed in
// command_table.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "cli/backup_file.h"
#include "cli/safe_files.h"
#include "cli/session.h"
#include "config/presets.h"

namespace korimo::cli {

// Reads each cell of `wanted` (address, value) back with memory read requests
// and reports the cells that differ and those that could not be read back,
// capped at ten lines: kExitOk, kExitDiffers (some cell differs), kExitNoAnswer
// (none differs, but some could not be read back) or kExitTimedOut.
int VerifyCells(Session& session, modKT90& kt90,
                std::span<const std::pair<std::uint8_t, std::uint8_t>> wanted);

// restore's way from the cells `now` to those of `backup`: lists the cells
// that differ, and (unless --dry-run) keeps a history entry of `command`,
// writes them and verifies them. Never the USB identity cell unless
// --include-identity; the serial number cells of another board only with
// --include-serial (`same_board`: always).
int RestoreCells(Session& session, modKT90& kt90, const std::array<std::uint8_t, 256>& now,
                 const Backup& backup, std::string_view command, bool same_board);

// "1 (Korimo KX2)", or the bare code of no known model.
std::string ModelText(std::uint8_t code);
// The model --model names, "KX2" or "KX3" in either case; nullptr for any other text.
const ModelPreset* ModelOfOption(std::string_view text);

// All 256 memory cells, with a progress line on a terminal: kExitOk, or the exit
// code once the user has been told why not (a wait gave up, a cell did not
// answer, and then `consequence`).
int ReadAllCells(Session& session, modKT90& kt90, std::array<std::uint8_t, 256>& cells,
                 const std::string& consequence);

// The new file that will take the place of `path` once written, or nothing once
// the user has been told why not: anything standing there needs --force, and
// only a file (`what` says which) or a symbolic link may be replaced.
std::unique_ptr<ReplacementFile> NewFileFor(Session& session, const std::string& path,
                                            std::string_view what);

// The handlers, grouped by what they reach; those given the link run once the
// engraver of the command is connected.
int RunList(Session& session, std::span<const std::string> operands);
int RunReport(Session& session, std::span<const std::string> operands);
int RunProvision(Session& session, std::span<const std::string> operands);
int RunFind(Session& session, modKT90& kt90);
int RunRead(Session& session, modKT90& kt90);
int RunSet(Session& session, std::span<const std::string> operands);
int RunEEPromDump(Session& session, modKT90& kt90);
int RunEEPromWrite(Session& session, std::span<const std::string> operands);
int RunEEPromClear(Session& session, modKT90& kt90);
int RunClearId(Session& session, modKT90& kt90);
int RunBackup(Session& session, std::span<const std::string> operands);
int RunRestore(Session& session, std::span<const std::string> operands);
int RunDiff(Session& session, std::span<const std::string> operands);
int RunHistory(Session& session, std::span<const std::string> operands);
int RunUndo(Session& session, std::span<const std::string> operands);
int RunHome(Session& session, modKT90& kt90);
int RunInputs(Session& session, modKT90& kt90);
int RunPositions(Session& session, modKT90& kt90);

}  // namespace korimo::cli
