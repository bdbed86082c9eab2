// The "Engraver simulator" panel of korimo-demo: the operator's side of the
// simulated engraver. It plugs and unplugs the engraver, presses keypad keys
// and table sensors, sets the controller's busy time (or jams it busy), shows
// the 256 parameter memory cells live, and opens the diagnostic windows.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

#include "sim/platform.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace korimo::app {

class ServiceWindows;

class SimulatorPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRefreshInterval = 250;  // ms

  // The panel's window buttons open the windows of `service`.
  SimulatorPanel(sim::SimPlatform& platform, ServiceWindows& service, QWidget* parent = nullptr);

  // Reads the board afresh into the panel (the timer does it four times a second).
  void Refresh();

 private:
  QWidget* BuildConnection();
  QWidget* BuildInputs();
  QWidget* BuildController();
  QWidget* BuildMemory();
  QWidget* BuildWindows(ServiceWindows& service);

  sim::SimPlatform& platform_;
  QCheckBox* plugged_ = nullptr;
  QLabel* board_state_ = nullptr;
  QPlainTextEdit* memory_view_ = nullptr;
  std::optional<std::array<std::uint8_t, sim::kMemorySize>> shown_memory_;  // none before the first
  QString shown_state_;
};

}  // namespace korimo::app
