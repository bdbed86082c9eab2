#include "ui/locked_combo.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace korimo::ui {

LockedCombo::LockedCombo(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);
  // An editable combo box writes the item text into its line edit on every
  // index change, read-only or not: a locked field puts its own text back.
  connect(lineEdit(), &QLineEdit::textChanged, this, [this] {
    if (!locked_) {
      text_ = lineEdit()->text();
    } else if (!restoring_ && lineEdit()->text() != text_) {
      SetText(text_);
    }
  });
}

void LockedCombo::SetText(const QString& text) {
  text_ = text;
  restoring_ = true;
  lineEdit()->setText(text);
  restoring_ = false;
}

void LockedCombo::SetLocked(bool locked) {
  locked_ = locked;
  lineEdit()->setReadOnly(locked);
  if (locked) {
    text_ = lineEdit()->text();
  }
}

void LockedCombo::keyPressEvent(QKeyEvent* event) {
  if (KeyDiscarded(key_press_, *event)) {
    event->accept();
    return;
  }
  QComboBox::keyPressEvent(event);
}

}  // namespace korimo::ui
