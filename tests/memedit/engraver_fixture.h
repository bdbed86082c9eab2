// The simulated engraver under the service windows' tests (memory editor, jog
// window, I/O window): a plugged-in board that answers at once unless a test
// gives it timings, its device file with the transaction log on, and the
// command set with scripted prompts and event pump, and window timers that
// tick only when a test fires them. The device path is found
// once here, as the main window's first status tick would.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QWidget>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "device/modKT90.h"
#include "sim/platform.h"
#include "tests/ui/manual_timers.h"
#include "tests/ui/scripted_ports.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace korimo::test {

inline sim::PlatformOptions InstantBoard() {
  sim::PlatformOptions options;
  options.catalogue.classes = 12;
  options.catalogue.engraver_class = 7;
  options.timings.memory_write = sim::Micros{0};
  options.timings.memory_read = sim::Micros{0};
  return options;
}

class EngraverTest : public ::testing::Test {
 protected:
  explicit EngraverTest(sim::PlatformOptions options = InstantBoard())
      : platform_(clock_, options), kt90_(platform_.GetCatalogue(), platform_.GetFiles(), pump_) {
    platform_.GetFiles().EnableLog();
    kt90_.IsDeviceConnected();
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
  std::vector<std::vector<std::uint8_t>> Written() {
    std::vector<std::vector<std::uint8_t>> written;
    for (const sim::FileLogEntry& entry : platform_.GetFiles().Log()) {
      if (entry.kind == sim::FileEvent::kWrite) {
        written.push_back(entry.bytes);
      }
    }
    return written;
  }

  sim::ManualClock clock_;
  sim::SimPlatform platform_;
  ScriptedPump pump_;
  modKT90 kt90_;
  ScriptedPrompts prompts_;
  ManualTimers timers_;
};

}  // namespace korimo::test
