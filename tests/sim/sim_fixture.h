// The core running against the simulated engraver, on a manual clock. The event
// pump stands in for the user-interface loop: every turn lets time pass on the
// clock and runs the test's script, so a status tick or an unplug can happen in
// the middle of a wait.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "device/modKT90.h"
#include "sim/platform.h"

namespace korimo::sim {

class ScriptedPump final : public EventPump {
 public:
  explicit ScriptedPump(ManualClock& clock) : clock_(clock) {}

  void DoEvents() override {
    ++turns_;
    clock_.Advance(step_);
    if (script_) {
      script_(turns_);
    }
  }

  void SetStep(Micros step) { step_ = step; }
  void SetScript(std::function<void(int turn)> script) { script_ = std::move(script); }
  int Turns() const { return turns_; }

 private:
  ManualClock& clock_;
  Micros step_{500};
  std::function<void(int)> script_;
  int turns_ = 0;
};

class SimEngraverTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(kt90_.IsDeviceConnected()); }

  Board& board() { return platform_.GetBoard(); }
  SimDeviceFiles& files() { return platform_.GetFiles(); }

  ManualClock clock_;
  SimPlatform platform_{clock_};
  ScriptedPump pump_{clock_};
  modKT90 kt90_{platform_.GetCatalogue(), platform_.GetFiles(), pump_};
};

}  // namespace korimo::sim
