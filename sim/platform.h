// The simulated engraver on a simulated PC: a clock, the controller board, the
// registry's device-interface catalogue (filled as a real PC's) and the device
// file that routes the engraver's device path to the board. The core runs
// against it unchanged:
//
//   sim::SimPlatform platform(clock);
//   korimo::RegistryFinder finder(platform.GetCatalogue());
//   korimo::modKT90 kt90(finder, platform.GetFiles(), pump);
//
// More engravers can be added (AddEngraver): each has its own board and device
// file and an interface of its own at the end of the engraver's class, so the
// registry walk still finds engraver 0 first. AllFiles() reaches every one of
// them by its device path.
//
// A board that is busy stays busy until its clock moves on: with a ManualClock
// the event pump (or the test) has to advance the clock while the core waits,
// or the board timings are set to zero.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/board.h"
#include "sim/clock.h"
#include "sim/device_classes.h"
#include "sim/device_files.h"
#include "sim/memory_catalogue.h"

namespace korimo::sim {

struct PlatformOptions {
  CatalogueShape catalogue{};
  BoardTimings timings{};
  bool plugged = true;  // the engraver is plugged in from the start
};

// The device files of several simulated engravers behind one DeviceFiles: an
// open goes to the engraver whose device path it names.
class RoutedFiles final : public DeviceFiles {
 public:
  // Each engraver's device path and its device file, in engraver order.
  using Route = std::pair<std::string, SimDeviceFiles*>;
  void Add(Route route) { routes_.push_back(std::move(route)); }

  std::optional<FileHandle> Open(const std::string& path, const OpenParameters& params) override;
  std::optional<std::size_t> Read(FileHandle file, std::span<std::uint8_t> buffer) override;
  bool Write(FileHandle file, std::span<const std::uint8_t> bytes) override;
  bool Flush(FileHandle file) override;
  void Close(FileHandle file) override;

 private:
  std::vector<Route> routes_;
  std::map<FileHandle, std::pair<SimDeviceFiles*, FileHandle>> open_;
  FileHandle next_handle_ = 0x1000;
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
  MemoryCatalogue& GetCatalogue() { return catalogue_; }
  // Engraver `index` (0 is the first, always there).
  Board& GetBoard(std::size_t index = 0) { return At(index).board; }
  SimDeviceFiles& GetFiles(std::size_t index = 0) { return At(index).files; }
  // Every engraver's device file by its path.
  DeviceFiles& AllFiles() { return routed_; }

  // Adds an engraver on a port of its own, plugged in or not, with the factory
  // image and the first one's timings; returns its index.
  std::size_t AddEngraver(bool plugged = true);
  std::size_t EngraverCount() const { return engravers_.size(); }

  // The engraver's device path (its SymbolicLink) and its catalogue keys.
  const std::string& DevicePath(std::size_t index = 0) const { return At(index).entry.device_path; }
  const EngraverEntry& Engraver(std::size_t index = 0) const { return At(index).entry; }

  // Unplugging turns the interface inactive ("Linked" 0) and takes the board
  // off the device file, so every open fails; plugging reverses both.
  void Plug(std::size_t index = 0) { SetPlugged(index, true); }
  void Unplug(std::size_t index = 0) { SetPlugged(index, false); }
  bool Plugged(std::size_t index = 0) const { return At(index).plugged; }

 private:
  struct SimEngraver {
    SimEngraver(Clock& clock, const BoardTimings& timings) : board(clock, timings), files(clock) {}
    Board board;
    SimDeviceFiles files;
    EngraverEntry entry;
    bool plugged = false;
  };

  SimEngraver& At(std::size_t index) { return *engravers_.at(index); }
  const SimEngraver& At(std::size_t index) const { return *engravers_.at(index); }
  // Adds an engraver with `timings` at `entry`, its device path routed to it;
  // returns its index.
  std::size_t Adopt(const BoardTimings& timings, EngraverEntry entry, bool plugged);
  void SetPlugged(std::size_t index, bool plugged);

  std::unique_ptr<Clock> own_clock_;
  Clock& clock_;
  MemoryCatalogue catalogue_;
  std::vector<std::unique_ptr<SimEngraver>> engravers_;
  RoutedFiles routed_;
};

}  // namespace korimo::sim
