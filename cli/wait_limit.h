// The command-line tool's event pump and the limit of its waits. A terminal has
// no events to run and no Done button, so a wait while the controller is busy
// gives up once it has lasted longer than the limit.
//
// modKT90 turns the pump once before every busy poll and asks GiveUp() after
// every poll that found the controller busy, so a turn that follows a poll
// which did not ask starts a new wait.
#pragma once

#include <chrono>
#include <functional>

#include "device/ports.h"

namespace korimo::cli {

class WaitLimit final : public EventPump {
 public:
  using Clock = std::chrono::steady_clock;

  // `now` tells the time each wait is measured on.
  WaitLimit(Clock::duration limit, std::function<Clock::time_point()> now)
      : limit_(limit), now_(std::move(now)) {}

  void DoEvents() override;
  // A terminal has no events to run; the pause waits only when a sleeper is
  // given (a real engraver). It does not count as a turn of a busy wait.
  void Pause(std::chrono::milliseconds pause) override;
  void SetSleeper(void (*sleep)(std::chrono::milliseconds)) { sleep_ = sleep; }

  // True once the current wait has lasted longer than the limit.
  bool GiveUp();

 private:
  Clock::duration limit_;
  std::function<Clock::time_point()> now_;
  Clock::time_point wait_start_{};
  bool polled_busy_ = false;
  void (*sleep_)(std::chrono::milliseconds) = nullptr;
};

}  // namespace korimo::cli
