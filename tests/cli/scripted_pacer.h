// The waits of korimo-cli stepped by a test: each pause runs the next step of
// a script; once the script has run out, the user asks to stop.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "cli/cli.h"

namespace korimo::cli {

class ScriptedPacer final : public Pacer {
 public:
  void Pause(std::chrono::milliseconds duration) override {
    EXPECT_EQ(duration, std::chrono::milliseconds{250});
    ++pauses;
    if (steps.empty()) {
      stop = true;
      return;
    }
    const std::function<void()> step = std::move(steps.front());
    steps.pop_front();
    step();
  }
  void CatchStop() override { caught = true; }
  bool StopAsked() override { return stop; }
  std::chrono::steady_clock::time_point Now() override { return clock(); }
  std::string UtcNow() override { return "2026-12-08T00:00:00Z"; }

  std::deque<std::function<void()>> steps;
  std::function<std::chrono::steady_clock::time_point()> clock = std::chrono::steady_clock::now;
  int pauses = 0;
  bool stop = false;
  bool caught = false;
};

}  // namespace korimo::cli
