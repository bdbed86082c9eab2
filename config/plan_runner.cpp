#include "config/plan_runner.h"

#include <algorithm>
#include <iterator>

#include "config/memory_map.h"

namespace korimo {
namespace {

// Carries out `count` cells with `one` (true when the cell was delivered or
// answered), stopping as `stop` says.
template <typename One>
CellRun Run(modKT90& kt90, std::size_t count, RunStop stop,
            const std::function<void(std::size_t)>& before, One one) {
  CellRun run;
  while (run.tried < count) {
    if (before) {
      before(run.tried);
    }
    const bool reached = one(run.tried++, run);
    run.reached += reached ? 1 : 0;
    // A wait that was given up delivers or answers nothing, so it is a miss too.
    if ((stop == RunStop::kWhenGaveUp && kt90.WaitGaveUp()) ||
        (stop == RunStop::kAtFirstMiss && !reached)) {
      run.gave_up = kt90.WaitGaveUp();
      break;
    }
  }
  return run;
}

}  // namespace

CellRun WriteCells(modKT90& kt90, std::span<const CellValue> cells, RunStop stop,
                   const std::function<void(std::size_t)>& before) {
  return Run(kt90, cells.size(), stop, before, [&](std::size_t i, CellRun&) {
    return kt90.WriteEEPromByte(cells[i].first, cells[i].second);
  });
}

CellRun ReadCells(modKT90& kt90, std::span<const std::uint8_t> addresses, RunStop stop,
                  const std::function<void(std::size_t)>& before) {
  return Run(kt90, addresses.size(), stop, before, [&](std::size_t i, CellRun& run) {
    return run.values.emplace_back(kt90.ReadEEPromByte(addresses[i])).has_value();
  });
}

std::vector<CellValue> PlanCells(const SetPlan& plan) {
  std::vector<CellValue> cells;
  std::ranges::transform(plan.writes, std::back_inserter(cells), [](const SetWrite& write) {
    return CellValue{write.address, write.value};
  });
  return cells;
}

std::vector<CellValue> ClearedBlock() {
  std::vector<CellValue> cells;
  for (unsigned address = memory::kFixedBlockFirst; address <= memory::kFixedBlockLast; ++address) {
    cells.emplace_back(static_cast<std::uint8_t>(address), 0xFF);
  }
  return cells;
}

ReadBack ReadBackCells(modKT90& kt90, std::span<const CellValue> wanted, RunStop stop) {
  std::vector<std::uint8_t> addresses;
  std::ranges::transform(wanted, std::back_inserter(addresses), &CellValue::first);
  ReadBack back{ReadCells(kt90, addresses, stop), {}, {}};
  for (std::size_t i = 0; i < back.run.values.size(); ++i) {
    if (back.run.values[i] != wanted[i].second) {
      (back.run.values[i] ? back.differ : back.unanswered).push_back(i);
    }
  }
  return back;
}

ConfigurationRead ReadConfiguration(modKT90& kt90, RunStop stop) {
  ConfigurationRead read;
  Configuration values;
  // Keeps an answer; notes the first value with none and says whether to go on.
  const auto take = [&](auto answer, auto& value, std::string_view subject) {
    value = answer.value_or(value);
    read.missing = read.missing.empty() && !answer ? subject : read.missing;
    return answer || stop == RunStop::kNever;
  };
  if (!take(kt90.GetSerialNumber(), values.serial_number, "the serial number")) {
    return read;
  }
  for (std::size_t i = 0; i < kParameterFieldCount; ++i) {
    if (!take(kt90.GetStatusWord(kParameterFields[i].cell), values.parameters[i],
              kParameterFields[i].subject)) {
      return read;
    }
  }
  if (take(kt90.GetModelCode(), values.model_code, "the model code") && read.missing.empty()) {
    read.configuration = values;
  }
  return read;
}

}  // namespace korimo
