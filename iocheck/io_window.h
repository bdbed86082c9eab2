// The I/O verification window frmIO ("I/O Verification"): four times a second
// it mirrors the five keypad keys and the two table sensors of the engraver as
// lamps, and shows whether an engraver is connected. "&Done" ends the program.
//
// The title-bar close unloads the window: its timer stops, Unloaded tells the
// owner, and the object deletes itself when control returns to the event loop.
#pragma once

#include <QWidget>
#include <array>

#include "device/modKT90.h"
#include "ui/end_program.h"
#include "ui/window_lifetime.h"
#include "ui/window_timer.h"

class QPushButton;

namespace korimo {

namespace ui {
class Lamp;
}

class frmIO : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kStatusInterval = 250;  // ms

  // Builds and loads the window; tmrStatus runs from here.
  explicit frmIO(modKT90& kt90, QWidget* parent = nullptr, ui::TimerPort& timers = ui::QtTimers());

  // Done. The default ends the program at once.
  void SetEndProgram(ui::EndProgramHook end) { end_program_ = std::move(end); }

  // Event handlers.
  void tmrStatus_Timer();
  void cmdDone_Click();

  // Lit: green background and a border 3 wide; dark: the button-face colour
  // and a border 1 wide. Both are assigned on every call.
  void SetKeyIndicator(ui::Lamp& shape, bool on);

 signals:
  // The title-bar close unloaded the window.
  void Unloaded();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();

  modKT90& kt90_;
  ui::TimerPort& timers_;
  ui::EndProgramHook end_program_;
  ui::UnloadAfterHandlers lifetime_{*this};

  // The lamps the refresh paints: the five keys and the two table sensors in
  // inputs::kNamed order (shpKeyPower ... shpKeyStart, shpTable0, shpTable1),
  // and shpConnected.
  std::array<ui::Lamp*, inputs::kNamed.size()> inputLamps_{};
  ui::Lamp* shpConnected = nullptr;
  QPushButton* cmdDone = nullptr;
  ui::WindowTimer* tmrStatus = nullptr;
};

}  // namespace korimo
