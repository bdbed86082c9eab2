// Opens the I/O window. The tool keeps one window object: it is made and
// loaded on the first opening, shown again by later ones, and made anew after
// the title-bar close has unloaded it. Its "&Done" ends the whole program.
#pragma once

#include <QObject>

#include "device/modKT90.h"
#include "iocheck/io_window.h"
#include "ui/end_program.h"
#include "ui/window_lifetime.h"

class QShortcut;
class QWidget;

namespace korimo::iocheck {

// The main window's key for the I/O window; the configuration window itself
// offers no command that opens it.
inline constexpr char kIOShortcut[] = "Ctrl+Shift+I";

class IOOpener : public QObject {
  Q_OBJECT

 public:
  explicit IOOpener(modKT90& kt90, QObject* parent = nullptr,
                    ui::TimerPort& timers = ui::QtTimers());

  // What the window's Done calls; the default ends the program at once.
  void SetEndProgram(ui::EndProgramHook end);

  // Shows the window (loading it first when there is none) and brings it to the front.
  void Open();

  // The loaded window; nullptr before the first opening and after an unload.
  frmIO* Window() const { return window_.Window(); }

  // A shortcut on `window` (Ctrl+Shift+I, while that window is active) that opens
  // the I/O window. It belongs to `window`.
  QShortcut* AddShortcut(QWidget& window);

 private:
  modKT90& kt90_;
  ui::TimerPort& timers_;
  ui::EndProgramHook end_program_;
  ui::SingleWindow<frmIO> window_;
};

}  // namespace korimo::iocheck
