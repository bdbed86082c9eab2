#include "sim/clock.h"

#ifdef _WIN32
#include "win32/windows_api.h"
#else
#include <thread>
#endif

namespace korimo::sim {
namespace {

using Steady = std::chrono::steady_clock;

// The platform sleep overshoots by up to a scheduler tick; the last stretch
// before the deadline is spun so that a transfer's latency is met closely.
#ifdef _WIN32
constexpr Micros kSpinMargin{2000};
void CoarseSleep(Micros duration) {
  Sleep(
      static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()));
}
#else
constexpr Micros kSpinMargin{200};
void CoarseSleep(Micros duration) {
  std::this_thread::sleep_for(duration);
}
#endif

}  // namespace

Micros SteadyClock::Now() const {
  return std::chrono::duration_cast<Micros>(Steady::now().time_since_epoch());
}

void SteadyClock::Sleep(Micros duration) {
  if (duration <= Micros{0}) {
    return;
  }
  const Steady::time_point deadline = Steady::now() + duration;
  if (duration > kSpinMargin) {
    CoarseSleep(duration - kSpinMargin);
  }
  while (Steady::now() < deadline) {
  }
}

}  // namespace korimo::sim
