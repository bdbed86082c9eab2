// The cost of the serial ledger per board, with no engraver: a claim and the
// record of its result, in the log (/0: locked, read whole, appended to and
// flushed twice) and in the database of KORIMO_BENCH_LEDGER (/1: an ODBC
// connection string; on loopback with the throwaway cluster of
// scripts/pg-cluster.sh; skipped without it). The log grows by two lines a
// board, as on a station; it starts empty in every run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "cli/ledger.h"

namespace {

void ClaimAndRecord(benchmark::State& state) {
  const std::filesystem::path log =
      std::filesystem::temp_directory_path() / "korimo-ledger-bench.csv";
  std::filesystem::remove(log);
  std::unique_ptr<korimo::cli::SerialLedger> ledger;
  if (state.range(0) == 0) {
    ledger = korimo::cli::OpenFileLedger(log.string());
  } else if (const char* connection = std::getenv("KORIMO_BENCH_LEDGER")) {
    ledger = korimo::cli::OpenOdbcLedger(connection, "bench");
  } else {
    state.SkipWithError("KORIMO_BENCH_LEDGER names no database");
    return;
  }
  const korimo::cli::SerialRange range{1, 65535};
  const korimo::cli::LedgerBoard board{"usb:3-2 (/dev/bus/usb/003/007)", "usb:3-2", "KX3",
                                       "2026-12-08T00:00:00Z"};
  // The connection is made by the first use, as in a run before its first board.
  if (const korimo::cli::LedgerAnswer first = ledger->Look(range); !first.claim) {
    state.SkipWithError(first.trouble.c_str());
    return;
  }
  for (auto _ : state) {
    const korimo::cli::LedgerAnswer answer = ledger->Claim(range, board);
    if (!answer.claim) {
      state.SkipWithError(answer.trouble.c_str());
      break;
    }
    if (const std::string why = ledger->Record(*answer.claim, board, true, 0); !why.empty()) {
      state.SkipWithError(why.c_str());
      break;
    }
  }
  std::filesystem::remove(log);
  state.counters["boards"] = static_cast<double>(state.iterations());
}

BENCHMARK(ClaimAndRecord)
    ->ArgName("database")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->Iterations(200);

}  // namespace
