// The simulated engraver on a simulated PC: a clock, the controller board, the
// registry's device-interface catalogue (filled as a real PC's) and the device
// file that routes the engraver's device path to the board. The core runs
// against it unchanged:
//
//   sim::SimPlatform platform(clock);
//   korimo::modKT90 kt90(platform.GetCatalogue(), platform.GetFiles(), pump);
//
// A board that is busy stays busy until its clock moves on: with a ManualClock
// the event pump (or the test) has to advance the clock while the core waits,
// or the board timings are set to zero.
#pragma once

#include <memory>
#include <string>

#include "sim/board.h"
#include "sim/clock.h"
#include "sim/device_classes.h"
#include "sim/device_files.h"
#include "sim/memory_catalogue.h"

namespace korimo::sim {

using SimCatalogue = MemoryCatalogue;

struct PlatformOptions {
  CatalogueShape catalogue{};
  BoardTimings timings{};
  bool plugged = true;  // the engraver is plugged in from the start
};

class SimPlatform {
 public:
  // Runs on its own steady clock.
  explicit SimPlatform(PlatformOptions options = {});
  // Runs on `clock`, which must outlive the platform.
  explicit SimPlatform(Clock& clock, PlatformOptions options = {});
  SimPlatform(const SimPlatform&) = delete;
  SimPlatform& operator=(const SimPlatform&) = delete;

  Clock& GetClock() { return clock_; }
  Board& GetBoard() { return board_; }
  MemoryCatalogue& GetCatalogue() { return catalogue_; }
  SimDeviceFiles& GetFiles() { return files_; }

  // The engraver's device path (its SymbolicLink) and its catalogue keys.
  const std::string& DevicePath() const { return engraver_.device_path; }
  const EngraverEntry& Engraver() const { return engraver_; }

  // Unplugging turns the interface inactive ("Linked" 0) and takes the board
  // off the device file, so every open fails; plugging reverses both.
  void Plug();
  void Unplug();
  bool Plugged() const { return plugged_; }

 private:
  std::unique_ptr<Clock> own_clock_;
  Clock& clock_;
  Board board_;
  MemoryCatalogue catalogue_;
  SimDeviceFiles files_;
  EngraverEntry engraver_;
  bool plugged_ = false;
};

}  // namespace korimo::sim
