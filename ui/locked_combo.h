// A drop-down field: an editable combo box whose text is the field's value.
// Locked, the user can open its list but can neither type into the field nor
// change its text by picking an item (by mouse, keyboard or wheel): only
// SetText changes it. A key-press handler sees every typed character first.
#pragma once

#include <QComboBox>
#include <QLineEdit>

#include "ui/key_press.h"

namespace korimo::ui {

class LockedCombo : public QComboBox {
  Q_OBJECT

 public:
  explicit LockedCombo(QWidget* parent = nullptr);

  QString Text() const { return lineEdit()->text(); }
  void SetText(const QString& text);

  bool Locked() const { return locked_; }
  void SetLocked(bool locked);

  void SetKeyPressHandler(KeyPressHandler handler) { key_press_ = std::move(handler); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QString text_;
  bool locked_ = false;
  bool restoring_ = false;
  KeyPressHandler key_press_;
};

}  // namespace korimo::ui
