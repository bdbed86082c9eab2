// FindDevicePath over a large catalogue: 200 interface classes of 10 instances
// each, the engraver in the last class, so the walk opens every class.
// Target: median below 200 us.
#include <benchmark/benchmark.h>

#include "device/SEnumValue.h"
#include "sim/device_classes.h"
#include "sim/memory_catalogue.h"

namespace {

using korimo::sim::CatalogueShape;

void FindDevicePath(benchmark::State& state, CatalogueShape shape) {
  korimo::sim::MemoryCatalogue catalogue;
  const std::string expected = korimo::sim::FillDeviceClasses(catalogue, shape).device_path;
  korimo::SEnumValue discovery(catalogue);
  for (auto _ : state) {
    std::string path = discovery.FindDevicePath();
    benchmark::DoNotOptimize(path);
    if (path != expected) {
      state.SkipWithError("the engraver was not found");
      break;
    }
  }
  state.counters["keys"] = static_cast<double>(catalogue.KeyCount());
  state.counters["opens"] = benchmark::Counter(static_cast<double>(catalogue.Counts().opens),
                                               benchmark::Counter::kAvgIterations);
}

CatalogueShape Large() {
  CatalogueShape shape;
  shape.classes = 200;
  shape.min_instances = 10;
  shape.max_instances = 10;
  shape.engraver_class = 199;
  return shape;
}

BENCHMARK_CAPTURE(FindDevicePath, classes200_instances10_last, Large())
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// The simulated PC as the demo builds it.
BENCHMARK_CAPTURE(FindDevicePath, default_pc, CatalogueShape{})
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

}  // namespace
