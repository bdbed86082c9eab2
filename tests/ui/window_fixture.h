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

#include "mainwin/main_window.h"
#include "tests/support/engraver_fixture.h"
#include "ui/lamp.h"
#include "ui/locked_combo.h"
#include "ui/spin_control.h"
#include "ui/text_box.h"

namespace korimo::test {

struct MemoryWrite {
  std::uint8_t address;
  std::uint8_t value;
  friend bool operator==(const MemoryWrite&, const MemoryWrite&) = default;
};

class WindowTest : public EngraverFixture {
 protected:
  explicit WindowTest(sim::PlatformOptions options = InstantBoard()) : EngraverFixture(options) {}

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
    return Find<T>(*window_, name);
  }

  ui::LockedCombo& Combo(const char* name) { return Get<ui::LockedCombo>(name); }
  QPushButton& Button(const char* name) { return Get<QPushButton>(name); }
  QLabel& Label(const char* name) { return Get<QLabel>(name); }
  ui::TextBox& SerialField() { return Get<ui::TextBox>("txtSN"); }
  ui::SpinControl& Spin() { return Get<ui::SpinControl>("udSN"); }
  QListWidget& ModelList() { return Get<QListWidget>("lstModel"); }
  ui::Lamp& ConnectedLamp() { return Get<ui::Lamp>("shpConnected"); }

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

  std::unique_ptr<s> window_;
  int ended_ = 0;
};

inline const std::vector<const char*> kFieldNames{"cboMaxX",   "cboMaxY",   "cboMaxZ",
                                                  "cboRaster", "cboVector", "cboZSpeed"};

}  // namespace korimo::test
