#include "ui/text_box.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace korimo::ui {

void TextBox::keyPressEvent(QKeyEvent* event) {
  if (KeyDiscarded(key_press_, *event)) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TextBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const Qt::FocusReason reason = event->reason();
  if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
    emit LostFocus();
  }
}

}  // namespace korimo::ui
