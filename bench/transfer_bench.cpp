// A whole Set (79 memory writes) and a whole Read (8 status reads) through the
// real command set against the simulated board on the steady clock, with the
// board never busy.
//
// At zero latency the time is the tool's own cost: us_per_transfer is the time
// per read or write transfer (target below 5 us). At 1 ms per transfer the
// protocol's floor is transfers x 1 ms; vs_floor is the time over that floor
// (target below 1.05).
#include <benchmark/benchmark.h>

#include <chrono>

#include "config/presets.h"
#include "config/set_plan.h"
#include "device/modKT90.h"
#include "device/registry_finder.h"
#include "sim/platform.h"

namespace {

using korimo::sim::Micros;

class IdlePump final : public korimo::EventPump {
 public:
  void DoEvents() override {}
};

korimo::SetPlan PlanKX2() {
  const korimo::ModelPreset* kx2 = korimo::FindPreset("Korimo KX2");
  return korimo::PlanSet(korimo::PresetFieldTexts(*kx2, "4660"), kx2->code);
}

struct Rig {
  explicit Rig(Micros latency)
      : platform(korimo::sim::PlatformOptions{
            .timings = korimo::sim::BoardTimings{Micros{0}, Micros{0}, 20000}}),
        finder(platform.GetCatalogue()),
        kt90(finder, platform.GetFiles(), pump) {
    platform.GetFiles().Latency(latency);
  }

  korimo::sim::SimPlatform platform;
  IdlePump pump;
  korimo::RegistryFinder finder;
  korimo::modKT90 kt90;
};

template <typename Operation>
void Measure(benchmark::State& state, Micros latency, Operation operation) {
  Rig rig(latency);
  if (!rig.kt90.IsDeviceConnected()) {
    state.SkipWithError("the engraver was not found");
    return;
  }
  rig.platform.GetFiles().ResetCounts();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    operation(rig.kt90);
  }
  const std::chrono::duration<double, std::micro> elapsed =
      std::chrono::steady_clock::now() - start;

  const korimo::sim::FileCounts& counts = rig.platform.GetFiles().Counts();
  const double transfers = counts.reads + counts.writes;
  const double iterations = static_cast<double>(state.iterations());
  state.counters["transfers"] = transfers / iterations;
  state.counters["us_per_transfer"] = elapsed.count() / transfers;
  if (latency > Micros{0}) {
    state.counters["vs_floor"] =
        elapsed.count() / (transfers * static_cast<double>(latency.count()));
  }
}

void Set(benchmark::State& state) {
  const korimo::SetPlan plan = PlanKX2();
  Measure(state, Micros{state.range(0)}, [&plan](korimo::modKT90& kt90) {
    for (const korimo::SetWrite& write : plan.writes) {
      kt90.WriteEEPromByte(write.address, write.value);
    }
  });
}

void Read(benchmark::State& state) {
  Measure(state, Micros{state.range(0)}, [](korimo::modKT90& kt90) {
    benchmark::DoNotOptimize(kt90.GetSerialNumber());
    benchmark::DoNotOptimize(kt90.GetModelCode());
    benchmark::DoNotOptimize(kt90.GetMaxX());
    benchmark::DoNotOptimize(kt90.GetMaxY());
    benchmark::DoNotOptimize(kt90.GetMaxZ());
    benchmark::DoNotOptimize(kt90.GetRasterSpeed());
    benchmark::DoNotOptimize(kt90.GetVectorSpeed());
    benchmark::DoNotOptimize(kt90.GetZSpeed());
  });
}

// Zero latency: the tool's own cost.
BENCHMARK(Set)->ArgName("latency_us")->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(Read)->ArgName("latency_us")->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();
// 1 ms a transfer: against the protocol's floor.
BENCHMARK(Set)
    ->ArgName("latency_us")
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(Read)
    ->ArgName("latency_us")
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(40);

}  // namespace
