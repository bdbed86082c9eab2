// What the history copy adds to a korimo-cli set: the same set with and
// without it (--no-history), against the simulated engraver on the steady
// clock at 1 ms per transfer and 2 ms busy after every memory command. The
// copy is 256 memory reads, each a poll, its request, polls and the reply.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "cli/cli.h"
#include "platform/platform.h"
#include "sim/platform.h"

namespace {

void SetWithHistory(benchmark::State& state) {
  const bool history = state.range(0) != 0;
  const korimo::sim::Micros busy{2000};
  korimo::sim::SimPlatform platform({.timings = {.memory_write = busy, .memory_read = busy}});
  platform.GetFiles().Latency(korimo::sim::Micros{1000});
  const std::filesystem::path state_home =
      std::filesystem::temp_directory_path() / "korimo-history-bench";
  setenv("XDG_STATE_HOME", state_home.c_str(), 1);
  std::vector<std::string> args{"set", "--model", "KX3", "--serial", "4661"};
  if (!history) {
    args.push_back("--no-history");
  }
  const korimo::cli::PortsProvider ports = [&](bool, std::ostream&) {
    return std::optional(korimo::platform::Simulated(platform));
  };
  for (auto _ : state) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    if (korimo::cli::RunCli(args, {in, out, err}, ports) != 0) {
      state.SkipWithError(err.str().c_str());
      break;
    }
  }
  std::filesystem::remove_all(state_home);
  state.SetLabel(history ? "with the history copy" : "--no-history");
}
BENCHMARK(SetWithHistory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
