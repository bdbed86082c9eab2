// korimo-cli: the engraver's configuration from a terminal, on the same core
// and the same Set write plan as the windows. RunCli is the whole tool; main()
// only supplies the platform's ports, so tests run it in-process.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>

#include "device/ports.h"

namespace korimo::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,       // the command line is wrong
  kExitRefused = 2,     // a value is refused; nothing was written
  kExitNoEngraver = 3,  // no engraver found, or no way to look for one
  kExitTimedOut = 4,    // the controller stayed busy longer than the time limit
  kExitCutShort = 5,    // not every write reached the engraver
  kExitDiffers = 6,     // verification found cells that differ
  kExitNoAnswer = 7,    // the engraver did not answer a read; nothing was taken from it
};

inline constexpr double kDefaultTimeoutSeconds = 10.0;

struct Streams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal = false;  // progress lines go to a terminal only
};

// Where the engraver is reached: how it is found (the registry's catalogue, or
// a finder of its own where the platform has one) and its device file.
struct EngraverPorts {
  DeviceCatalogue* catalogue;
  DeviceFiles* files;
  EngraverFinder* finder = nullptr;  // when set, used instead of the catalogue
  // Waits between two tries of a status read that got no answer; none (no
  // wait) for the simulated engraver.
  void (*sleep)(std::chrono::milliseconds) = nullptr;
};

// Gives the platform's ports, or the simulated engraver's when `simulated`;
// when there are none it says why on `err` in one sentence.
using PortsProvider =
    std::function<std::optional<EngraverPorts>(bool simulated, std::ostream& err)>;

// Runs one command line (the words after the program name); returns the exit code.
int RunCli(std::span<const std::string> args, Streams streams, const PortsProvider& ports);

}  // namespace korimo::cli
