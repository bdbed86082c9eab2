// Opens the jog window. The tool keeps one window object: it is made and
// loaded on the first opening, shown again by later ones, and made anew after
// the title-bar close has unloaded it. "&Done" only hides it, so its timer
// keeps reading positions until it is unloaded.
#pragma once

#include <QObject>

#include "device/modKT90.h"
#include "device/ports.h"
#include "jog/move_window.h"
#include "ui/window_lifetime.h"

class QShortcut;
class QWidget;

namespace korimo::jog {

// The main window's key for the jog window; the configuration window itself
// offers no command that opens it.
inline constexpr char kMoveShortcut[] = "Ctrl+Shift+J";

class MoveOpener : public QObject {
  Q_OBJECT

 public:
  MoveOpener(modKT90& kt90, Prompts& prompts, QObject* parent = nullptr,
             ui::TimerPort& timers = ui::QtTimers());

  // Shows the window (loading it first when there is none) and brings it to the front.
  void Open();

  // The loaded window; nullptr before the first opening and after an unload.
  frmMove* Window() const { return window_.Window(); }

  // A shortcut on `window` (Ctrl+Shift+J, while that window is active) that opens
  // the jog window. It belongs to `window`.
  QShortcut* AddShortcut(QWidget& window);

 private:
  modKT90& kt90_;
  Prompts& prompts_;
  ui::TimerPort& timers_;
  ui::SingleWindow<frmMove> window_;
};

}  // namespace korimo::jog
