// A top-level window as the platform itself reports it: on X11 its window name
// and geometry from the X server (xprop, xwininfo), on Windows GetWindowText,
// GetClientRect and ClientToScreen; and keys pressed through the platform
// (XTEST through xdotool, SendInput), so they take the path a person's do.
#pragma once

#include <QRect>
#include <QString>
#include <optional>

class QWidget;

namespace korimo::desktop {

struct NativeWindow {
  QString title;
  QRect client;  // the client area on the screen, in device pixels
  QRect frame;   // the whole window with the frame the platform draws, likewise
  bool shown = false;
};

// The window as the platform reports it; nothing when it cannot be asked.
std::optional<NativeWindow> ReadNativeWindow(QWidget& window);

// Gives `window` the keyboard focus and presses `keys` there: "alt+d", "Tab".
bool PressKeys(QWidget& window, const QString& keys);

}  // namespace korimo::desktop
