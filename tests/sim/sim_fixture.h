// The core running against the simulated engraver, on a manual clock. The event
// pump stands in for the user-interface loop: every turn lets time pass on the
// clock and runs the test's script, so a status tick or an unplug can happen in
// the middle of a wait.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "device/modKT90.h"
#include "device/registry_finder.h"
#include "sim/platform.h"
#include "tests/support/fake_ports.h"

namespace korimo::sim {

class SimEngraverTest : public ::testing::Test {
 protected:
  SimEngraverTest() {
    pump_.action = [this](int) {
      clock_.Advance(step_);
      if (script_) {
        script_(pump_.turns);
      }
    };
  }

  void SetUp() override { ASSERT_TRUE(kt90_.IsDeviceConnected()); }

  // How far the clock runs at every turn, and what else happens then.
  void SetStep(Micros step) { step_ = step; }
  void SetScript(std::function<void(int turn)> script) { script_ = std::move(script); }

  Board& board() { return platform_.GetBoard(); }
  SimDeviceFiles& files() { return platform_.GetFiles(); }

  ManualClock clock_;
  SimPlatform platform_{clock_};
  Micros step_{500};
  std::function<void(int)> script_;
  korimo::testing::ScriptedPump pump_;
  RegistryFinder finder_{platform_.GetCatalogue()};
  modKT90 kt90_{finder_, platform_.GetFiles(), pump_};
};

}  // namespace korimo::sim
