#include "ui/key_press.h"

#include <QKeyEvent>

namespace korimo::ui {

int TypedCharacterCode(const QKeyEvent& event) {
  const int key = event.key();
  switch (key) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
      return 0;
    default:
      break;
  }
  const Qt::KeyboardModifiers modifiers = event.modifiers();
  if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier) && key >= Qt::Key_A &&
      key <= Qt::Key_Z) {
    return key - Qt::Key_A + 1;
  }
  const QString text = event.text();
  if (text.size() != 1) {
    return 0;
  }
  const int code = text.front().unicode();
  return code == 0x7F ? 0 : code;
}

bool KeyDiscarded(const KeyPressHandler& handler, const QKeyEvent& event) {
  int code = TypedCharacterCode(event);
  if (code == 0 || !handler) {
    return false;
  }
  handler(code);
  return code == 0;
}

}  // namespace korimo::ui
