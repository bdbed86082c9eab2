// The simulated engraver under the window tests (main window, memory editor,
// jog window, I/O window): a plugged-in board that answers at once unless a
// test gives it timings, its device file with the transaction log on, the
// command set with recording prompts and a scripted event pump, and window
// timers that tick only when a test fires them.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "device/modKT90.h"
#include "device/registry_finder.h"
#include "sim/platform.h"
#include "tests/support/fake_ports.h"
#include "tests/support/manual_timers.h"
#include "tests/support/recording_prompts.h"
#include "tests/support/sim_engraver.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace korimo::test {

using testing::InstantBoard;

class EngraverFixture : public ::testing::Test {
 protected:
  explicit EngraverFixture(sim::PlatformOptions options = InstantBoard())
      : platform_(clock_, options), kt90_(finder_, platform_.GetFiles(), pump_) {
    platform_.GetFiles().EnableLog();
  }

  // Windows that unloaded themselves are deleted when control returns to the
  // event loop; the tests have none running, so they run the deletions here.
  void TearDown() override { RunDeferredDeletes(); }

  static void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  template <typename T>
  static T& Find(const QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
      ADD_FAILURE() << "no control " << name;
      throw std::runtime_error(name);
    }
    return *found;
  }

  sim::Board& Board() { return platform_.GetBoard(); }
  sim::SimDeviceFiles& Files() { return platform_.GetFiles(); }

  // Every packet written to the device file, in order.
  std::vector<std::vector<std::uint8_t>> Written() { return testing::WrittenPackets(Files()); }

  sim::ManualClock clock_;
  sim::SimPlatform platform_;
  testing::ScriptedPump pump_;
  RegistryFinder finder_{platform_.GetCatalogue()};
  modKT90 kt90_;
  testing::RecordingPrompts prompts_;
  ManualTimers timers_;
};

// The service windows' tests: the device path is found once here, as the
// main window's first status tick would.
class EngraverTest : public EngraverFixture {
 protected:
  explicit EngraverTest(sim::PlatformOptions options = InstantBoard()) : EngraverFixture(options) {
    kt90_.IsDeviceConnected();
  }
};

}  // namespace korimo::test
