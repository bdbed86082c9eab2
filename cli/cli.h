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
#include "platform/platform.h"

namespace korimo::cli {

// What each means, as the usage text says it: ExitCodes() in command_table.h.
enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,
  kExitRefused = 2,
  kExitNoEngraver = 3,
  kExitTimedOut = 4,
  kExitCutShort = 5,
  kExitDiffers = 6,
  kExitSeveral = 7,
  kExitSomeFailed = 8,
  kExitNoAnswer = 9,
  kExitInterrupted = 130,
};

inline constexpr double kDefaultTimeoutSeconds = 10.0;

struct Streams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal = false;  // progress lines go to a terminal only
};

// Gives the platform's ports, or the simulated engraver's when `simulated`;
// when there are none it says why on `err` in one sentence.
using PortsProvider =
    std::function<std::optional<platform::Ports>(bool simulated, std::ostream& err)>;

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
  // The time each wait for a busy engraver is measured on; the steady clock
  // unless a pacer keeps time of its own.
  virtual std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
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
