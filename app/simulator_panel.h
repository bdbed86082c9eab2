// The "Engraver simulator" panel of korimo-demo: the operator's side of the
// simulated engraver. It plugs and unplugs the engraver, presses keypad keys
// and table sensors, sets the controller's busy time (or jams it busy), shows
// the 256 parameter memory cells live, and opens the diagnostic windows.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "sim/platform.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace korimo::app {

// The windows the panel can open, once they exist.
enum class DemoWindow { kJog, kInputs, kMemoryEditor };

class SimulatorPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRefreshInterval = 250;  // ms

  explicit SimulatorPanel(sim::SimPlatform& platform, QWidget* parent = nullptr);

  // Enables the window's button; a click calls `open`.
  void OfferWindow(DemoWindow window, std::function<void()> open);

  // Reads the board afresh into the panel (the timer does it four times a second).
  void Refresh();

 private:
  QWidget* BuildConnection();
  QWidget* BuildInputs();
  QWidget* BuildController();
  QWidget* BuildMemory();
  QWidget* BuildWindows();
  void SetInput(std::uint8_t bit, bool on);

  sim::SimPlatform& platform_;
  QCheckBox* plugged_ = nullptr;
  QLabel* board_state_ = nullptr;
  QPlainTextEdit* memory_view_ = nullptr;
  std::array<QPushButton*, 3> window_buttons_{};
  std::array<std::function<void()>, 3> openers_;
  std::optional<std::array<std::uint8_t, sim::kMemorySize>> shown_memory_;  // none before the first
  QString shown_state_;
};

}  // namespace korimo::app
