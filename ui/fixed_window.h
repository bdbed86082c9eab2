// The frame every window of the tool shares: its control name, its caption, a
// fixed dialog border (no resizing, no minimize or maximize button) and the
// window font.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>
#include <string_view>
#include <utility>

#include "ui/fonts.h"

namespace korimo::ui {

inline void SetUpFixedWindow(QWidget& window, const QString& name, const QString& caption,
                             Qt::WindowType kind = Qt::Window) {
  window.setObjectName(name);
  window.setWindowTitle(caption);
  window.setWindowFlags(kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  window.setFont(WindowFont());
}

// A new control of `parent`, made from `args` (the parent last) and named `name`.
template <typename Control, typename... Args>
Control* MakeNamed(QWidget* parent, const QString& name, Args&&... args) {
  auto* control = new Control(std::forward<Args>(args)..., parent);
  control->setObjectName(name);
  return control;
}

// A new label of `parent` named `name`, showing `caption` as plain text.
inline QLabel* MakeLabel(QWidget* parent, const QString& name, std::string_view caption) {
  auto* label = MakeNamed<QLabel>(parent, name, QString::fromLatin1(caption));
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace korimo::ui
