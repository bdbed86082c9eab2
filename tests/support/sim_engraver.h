// The simulated engraver as the suites set it up: a board that answers at
// once, and what its device file's log shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/device_files.h"
#include "sim/platform.h"

namespace korimo::testing {

// A board with no busy time for memory reads and writes (a test gives it
// timings where they matter), its class among a dozen, plugged in or not.
inline sim::PlatformOptions InstantBoard(bool plugged = true, std::size_t engraver_class = 7) {
  sim::PlatformOptions options;
  options.catalogue.classes = 12;
  options.catalogue.engraver_class = engraver_class;
  options.timings.memory_write = sim::Micros{0};
  options.timings.memory_read = sim::Micros{0};
  options.plugged = plugged;
  return options;
}

// Every packet written to the device file, in order (its log must be on).
inline std::vector<std::vector<std::uint8_t>> WrittenPackets(const sim::SimDeviceFiles& files) {
  std::vector<std::vector<std::uint8_t>> written;
  for (const sim::FileLogEntry& entry : files.Log()) {
    if (entry.kind == sim::FileEvent::kWrite) {
      written.push_back(entry.bytes);
    }
  }
  return written;
}

// The reads in the device file's log.
inline std::size_t LoggedReads(const sim::SimDeviceFiles& files) {
  std::size_t reads = 0;
  for (const sim::FileLogEntry& entry : files.Log()) {
    reads += entry.kind == sim::FileEvent::kRead ? 1 : 0;
  }
  return reads;
}

}  // namespace korimo::testing
