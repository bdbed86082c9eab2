// A one-line text field with a key-press handler and a lost-focus signal. The
// focus counts as lost only when it moves to another control of the same
// window, not when another window or a popup becomes active.
#pragma once

#include <QLineEdit>

#include "ui/key_press.h"

namespace korimo::ui {

class TextBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit TextBox(QWidget* parent = nullptr) : QLineEdit(parent) {}

  void SetKeyPressHandler(KeyPressHandler handler) { key_press_ = std::move(handler); }

 signals:
  void LostFocus();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  KeyPressHandler key_press_;
};

}  // namespace korimo::ui
