// The configuration window on a simulated engraver, for tests that drive its
// widgets by name. The board answers at once (no busy time) unless a test
// gives it timings; the status timer is a manual one that never fires on its
// own, so supervision ticks are called directly.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "config/main_window.h"
#include "device/modKT90.h"
#include "sim/platform.h"
#include "tests/ui/manual_timers.h"
#include "tests/ui/scripted_ports.h"
#include "ui/lamp.h"
#include "ui/locked_combo.h"
#include "ui/spin_control.h"
#include "ui/text_box.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace korimo::test {

struct MemoryWrite {
  std::uint8_t address;
  std::uint8_t value;
  friend bool operator==(const MemoryWrite&, const MemoryWrite&) = default;
};

inline sim::PlatformOptions QuickBoard(bool plugged = true) {
  sim::PlatformOptions options;
  options.catalogue.classes = 12;
  options.catalogue.engraver_class = 7;
  options.timings.memory_write = sim::Micros{0};
  options.timings.memory_read = sim::Micros{0};
  options.plugged = plugged;
  return options;
}

class WindowTest : public ::testing::Test {
 protected:
  explicit WindowTest(sim::PlatformOptions options = QuickBoard())
      : platform_(clock_, options), kt90_(platform_.GetCatalogue(), platform_.GetFiles(), pump_) {
    platform_.GetFiles().EnableLog();
  }

  void SetUp() override { MakeWindow(); }

  void MakeWindow() {
    window_ = std::make_unique<s>(kt90_, prompts_, nullptr, timers_);
    window_->SetEndProgram([this] { ++ended_; });
  }

  // One supervision tick; it also refreshes the device path that every
  // transfer uses.
  void Tick() { window_->tmrStatus_Timer(); }

  template <typename T>
  T& Get(const char* name) {
    T* found = window_->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
      ADD_FAILURE() << "no control " << name;
      throw std::runtime_error(name);
    }
    return *found;
  }

  ui::LockedCombo& Combo(const char* name) { return Get<ui::LockedCombo>(name); }
  QPushButton& Button(const char* name) { return Get<QPushButton>(name); }
  QLabel& Label(const char* name) { return Get<QLabel>(name); }
  ui::TextBox& SerialField() { return Get<ui::TextBox>("txtSN"); }
  ui::SpinControl& Spin() { return Get<ui::SpinControl>("udSN"); }
  QListWidget& ModelList() { return Get<QListWidget>("lstModel"); }
  ui::Lamp& ConnectedLamp() { return Get<ui::Lamp>("shpConnected"); }

  sim::Board& Board() { return platform_.GetBoard(); }

  // Every memory write command that reached the device file, in order.
  std::vector<MemoryWrite> MemoryWrites() {
    std::vector<MemoryWrite> writes;
    for (const sim::FileLogEntry& entry : platform_.GetFiles().Log()) {
      if (entry.kind == sim::FileEvent::kWrite && entry.bytes.size() == 6 &&
          entry.bytes[2] == 0x03) {
        writes.push_back({entry.bytes[3], entry.bytes[4]});
      }
    }
    return writes;
  }

  // Erased memory, so that a Set shows every cell it writes.
  void EraseBoard(std::uint8_t value = 0xFF) {
    for (unsigned address = 0; address < sim::kMemorySize; ++address) {
      Board().SetCell(static_cast<std::uint8_t>(address), value);
    }
  }

  void SetWord(std::uint8_t address, unsigned value) {
    Board().SetCell(address, static_cast<std::uint8_t>(value / 256));
    Board().SetCell(static_cast<std::uint8_t>(address + 1), static_cast<std::uint8_t>(value % 256));
  }

  std::vector<QString> FieldTexts() {
    std::vector<QString> texts;
    for (const char* name :
         {"cboMaxX", "cboMaxY", "cboMaxZ", "cboRaster", "cboVector", "cboZSpeed"}) {
      texts.push_back(Combo(name).Text());
    }
    return texts;
  }

  sim::ManualClock clock_;
  sim::SimPlatform platform_;
  ScriptedPump pump_;
  modKT90 kt90_;
  ScriptedPrompts prompts_;
  ManualTimers timers_;
  std::unique_ptr<s> window_;
  int ended_ = 0;
};

inline const std::vector<const char*> kFieldNames{"cboMaxX",   "cboMaxY",   "cboMaxZ",
                                                  "cboRaster", "cboVector", "cboZSpeed"};

}  // namespace korimo::test
