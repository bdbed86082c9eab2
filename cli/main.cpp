// korimo-cli's entry point: supplies the ports the commands reach the engraver
// through (the machine's own, or the simulated engraver with --sim) and runs
// the command line.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/platform.h"
#include "sim/platform.h"

#ifdef _WIN32
#include <io.h>

#include "win32/windows_api.h"
#else
#include <unistd.h>

#include <thread>
#endif

namespace {

volatile std::sig_atomic_t stop_asked = 0;

extern "C" void AskToStop(int) {
  stop_asked = 1;
}

// Real time, and Ctrl+C once a command catches it. The handler only sets the
// flag, so a log line being written is never cut.
class TerminalPacer final : public korimo::cli::Pacer {
 public:
  void Pause(std::chrono::milliseconds duration) override {
#ifdef _WIN32
    Sleep(static_cast<DWORD>(duration.count()));
#else
    std::this_thread::sleep_for(duration);
#endif
  }
  // signal() keeps the handler and, with glibc, restarts the calls it
  // interrupts (SA_RESTART).
  void CatchStop() override {
    std::signal(SIGINT, AskToStop);
    std::signal(SIGTERM, AskToStop);
  }
  bool StopAsked() override {
    return stop_asked != 0;
  }
  std::string UtcNow() override {
    return korimo::cli::UtcText();
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::unique_ptr<korimo::sim::SimPlatform> simulated;
  const korimo::cli::PortsProvider ports =
      [&](bool simulate, std::ostream& err) -> std::optional<korimo::platform::Ports> {
    if (simulate) {
      // The simulated board answers in real time; short busy times keep a Set quick.
      korimo::sim::PlatformOptions options;
      options.timings.memory_write = korimo::sim::Micros{200};
      options.timings.memory_read = korimo::sim::Micros{100};
      simulated = std::make_unique<korimo::sim::SimPlatform>(options);
      return korimo::platform::Simulated(*simulated);
    }
    korimo::platform::Ports real = korimo::platform::Real();
    if (!real.reachable) {
      err << "No engraver can be found here: this korimo-cli was built without a way to reach "
             "USB devices (use --sim for the simulated engraver).\n";
      return std::nullopt;
    }
    return real;
  };
#ifdef _WIN32
  const bool terminal = _isatty(_fileno(stderr)) != 0;
#else
  const bool terminal = isatty(fileno(stderr)) != 0;
#endif
  TerminalPacer pacer;
  return korimo::cli::RunCli(args, {std::cin, std::cout, std::cerr, terminal}, ports, pacer);
}
