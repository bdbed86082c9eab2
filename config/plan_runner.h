// Lists of memory cells carried out against the engraver through the busy
// wait: the writes of a Set, a restore or a clear, the reads that check them,
// and the all-or-nothing read of the configuration. The windows and korimo-cli
// write cells only through here; the event pump turns between polls as it
// always does, so a window's ticks and clicks run meanwhile.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "config/parameter_fields.h"
#include "config/set_plan.h"
#include "device/modKT90.h"

namespace korimo {

// Where a run stops before its last cell.
enum class RunStop {
  kNever,        // every cell is tried
  kWhenGaveUp,   // after the cell whose busy wait the wait limit gave up
  kAtFirstMiss,  // after the first cell not delivered or not answered (a given-up wait too)
};

// How far a run got.
struct CellRun {
  std::size_t tried = 0;    // cells tried, from the first: all of them unless the run stopped
  std::size_t reached = 0;  // writes delivered whole, or reads answered
  bool gave_up = false;     // stopped after cell tried - 1, whose busy wait was given up
  std::vector<std::optional<std::uint8_t>> values;  // a read's: one per cell tried, none: no answer
};

// Writes the cells in order, a memory write each after the busy wait;
// `before` runs just before each write with its index.
CellRun WriteCells(modKT90& kt90, std::span<const CellValue> cells, RunStop stop,
                   const std::function<void(std::size_t)>& before = {});

// Reads the cells at `addresses` in order, a memory read request each.
CellRun ReadCells(modKT90& kt90, std::span<const std::uint8_t> addresses, RunStop stop,
                  const std::function<void(std::size_t)>& before = {});

// The cells of `plan`'s writes, in order.
std::vector<CellValue> PlanCells(const SetPlan& plan);

// What the memory editor's Clear and eeprom clear write: 0xFF into every cell
// of the fixed block.
std::vector<CellValue> ClearedBlock();

// The cells of `wanted` read back: which of those tried hold another value and
// which did not answer (indexes into `wanted`, in order).
struct ReadBack {
  CellRun run;
  std::vector<std::size_t> differ;
  std::vector<std::size_t> unanswered;
};
ReadBack ReadBackCells(modKT90& kt90, std::span<const CellValue> wanted, RunStop stop);

// The values the window's Read shows, each from a status packet of its own, in
// this order.
struct Configuration {
  std::int32_t serial_number = 0;
  std::array<std::int32_t, kParameterFieldCount> parameters{};  // in kParameterFields order
  std::uint8_t model_code = 0;
};

struct ConfigurationRead {
  std::optional<Configuration> configuration;  // only when every value answered
  std::string_view missing;  // the first value with no answer: "the serial number"
};

// With kNever every value is asked for even after one gave no answer;
// otherwise the read stops at the first.
ConfigurationRead ReadConfiguration(modKT90& kt90, RunStop stop);

}  // namespace korimo
