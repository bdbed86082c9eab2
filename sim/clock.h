// Time for the simulated engraver. Tests drive a manual clock; the demo and the
// benchmarks use the steady clock, whose Sleep really waits.
#pragma once

#include <chrono>

namespace korimo::sim {

using Micros = std::chrono::microseconds;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Micros Now() const = 0;
  // Lets `duration` pass (a transfer's latency).
  virtual void Sleep(Micros duration) = 0;
};

class ManualClock final : public Clock {
 public:
  Micros Now() const override { return now_; }
  void Sleep(Micros duration) override { now_ += duration; }
  void Advance(Micros duration) { now_ += duration; }

 private:
  Micros now_{0};
};

class SteadyClock final : public Clock {
 public:
  Micros Now() const override;
  void Sleep(Micros duration) override;
};

}  // namespace korimo::sim
