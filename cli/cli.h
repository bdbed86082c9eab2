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

#include "device/device_troubles.h"
#include "device/ports.h"

namespace korimo::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,          // the command line is wrong
  kExitRefused = 2,        // a value is refused; nothing was written
  kExitNoEngraver = 3,     // no engraver found, or no way to look for one
  kExitTimedOut = 4,       // the controller stayed busy longer than the time limit
  kExitCutShort = 5,       // not every write reached the engraver
  kExitDiffers = 6,        // verification found cells that differ
  kExitSeveral = 7,        // several engravers are connected and none was chosen
  kExitSomeFailed = 8,     // provision: at least one board was not stored
  kExitNoAnswer = 9,       // the engraver did not answer a read; nothing was taken from it
  kExitInterrupted = 130,  // provision ended by Ctrl+C (and nothing failed)
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
  // The engraver's device nodes and their drivers, where the platform shows
  // them (Windows); none elsewhere.
  EngraverNodes* nodes = nullptr;
};

// Gives the platform's ports, or the simulated engraver's when `simulated`;
// when there are none it says why on `err` in one sentence.
using PortsProvider =
    std::function<std::optional<EngraverPorts>(bool simulated, std::ostream& err)>;

// Time and interruption for the commands that wait for a person (provision
// waits for engravers to come and go): real time and Ctrl+C in the tool,
// stepped by hand in tests.
class Pacer {
 public:
  virtual ~Pacer() = default;
  // Lets `duration` pass before the next look.
  virtual void Pause(std::chrono::milliseconds duration) = 0;
  // From now on Ctrl+C asks to stop (StopAsked) instead of ending the program.
  virtual void CatchStop() = 0;
  // True once the user asked to stop; asked between steps only.
  virtual bool StopAsked() = 0;
  // Now in UTC, "2026-12-07T14:30:05Z".
  virtual std::string UtcNow() = 0;
};

// Now in UTC as the log and the backups write it.
std::string UtcText();

// Runs one command line (the words after the program name); returns the exit code.
int RunCli(std::span<const std::string> args, Streams streams, const PortsProvider& ports,
           Pacer& pacer);
// For the commands that never wait for a person: no pause lasts, no stop comes.
int RunCli(std::span<const std::string> args, Streams streams, const PortsProvider& ports);

}  // namespace korimo::cli
