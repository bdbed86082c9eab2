// One board of a korimo-cli provision run against the simulated engraver on
// the steady clock, at 1 ms per transfer and 2 ms busy after every memory
// command: the Set (79 writes), the read-back of its 78 cells and the log line.
//
// floor_ms is what the protocol cannot do faster: every write waits out the
// busy time of the one before (2 polls) and is one transfer; every verify read
// is a poll, its request, 2 polls and the read of the answer. vs_floor is the
// board's time over that floor. first_write_ms is the time from the look that
// finds the engraver to the first memory write reaching it (a real run looks
// four times a second, so an arrival waits up to 250 ms more to be seen).
// The board is claimed in the log (/0) or, beside it, in the database of
// KORIMO_BENCH_LEDGER (/1, an ODBC connection string, e.g. of the throwaway
// cluster of scripts/pg-cluster.sh; skipped without it).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "cli/cli.h"
#include "sim/platform.h"

namespace {

using korimo::sim::Micros;
using Clock = std::chrono::steady_clock;

constexpr Micros kLatency{1000};
constexpr Micros kBusy{2000};
constexpr double kWrites = 79;
constexpr double kVerifyReads = 78;

// Never waits: the board is there from the start, and its unplug is the one step.
class BenchPacer final : public korimo::cli::Pacer {
 public:
  explicit BenchPacer(korimo::sim::SimPlatform& platform) : platform_(platform) {}
  void Pause(std::chrono::milliseconds) override { platform_.Unplug(); }
  void CatchStop() override {}
  bool StopAsked() override { return false; }
  std::string UtcNow() override { return "2026-12-08T00:00:00Z"; }

 private:
  korimo::sim::SimPlatform& platform_;
};

void ProvisionOneBoard(benchmark::State& state) {
  korimo::sim::SimPlatform platform({.timings = {.memory_write = kBusy, .memory_read = kBusy}});
  platform.GetFiles().Latency(kLatency);
  BenchPacer pacer(platform);
  const std::filesystem::path log =
      std::filesystem::temp_directory_path() / "korimo-provision-bench.csv";
  std::vector<std::string> args{"provision", "--model", "KX3",   "--serials", "100",
                                "--count",   "1",       "--log", log.string()};
  if (state.range(0) == 1) {
    const char* connection = std::getenv("KORIMO_BENCH_LEDGER");
    if (connection == nullptr) {
      state.SkipWithError("KORIMO_BENCH_LEDGER names no database");
      return;
    }
    args.insert(args.end(), {"--ledger", connection, "--station", "bench"});
  }
  const korimo::cli::PortsProvider ports = [&](bool, std::ostream&) {
    return std::optional(korimo::platform::Simulated(platform));
  };

  std::optional<Clock::time_point> first_write;
  platform.GetFiles().SetOpenHook([&](const std::string&, const korimo::OpenParameters& params) {
    if (params == korimo::kWriteOpen && !first_write) {
      first_write = Clock::now();
    }
  });
  platform.GetFiles().ResetCounts();
  double board_ms = 0;
  double first_write_ms = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(log);
    platform.GetBoard().SetMemory(korimo::sim::Board::FactoryImage());
    platform.Plug();
    first_write.reset();
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    state.ResumeTiming();
    const Clock::time_point start = Clock::now();
    const int code = korimo::cli::RunCli(args, {in, out, err, false}, ports, pacer);
    const Clock::time_point end = Clock::now();
    if (code != korimo::cli::kExitOk || !first_write) {
      state.SkipWithError(err.str().c_str());
      break;
    }
    board_ms += std::chrono::duration<double, std::milli>(end - start).count();
    first_write_ms += std::chrono::duration<double, std::milli>(*first_write - start).count();
  }
  std::filesystem::remove(log);
  const double boards = static_cast<double>(state.iterations());
  const double polls = static_cast<double>(kBusy.count()) / static_cast<double>(kLatency.count());
  const double floor_ms = (kWrites * (1 + polls) + kVerifyReads * (1 + 1 + polls + 1)) *
                          static_cast<double>(kLatency.count()) / 1000.0;
  state.counters["board_ms"] = board_ms / boards;
  state.counters["floor_ms"] = floor_ms;
  state.counters["vs_floor"] = board_ms / boards / floor_ms;
  state.counters["first_write_ms"] = first_write_ms / boards;
  const korimo::sim::FileCounts& counts = platform.GetFiles().Counts();
  state.counters["transfers"] = (counts.reads + counts.writes) / boards;
}

BENCHMARK(ProvisionOneBoard)
    ->ArgName("database")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace
