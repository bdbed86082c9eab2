// The fonts the windows are designed in. Where a named face is missing (no
// Arial or Courier New on Linux), the style hint lets fontconfig pick a
// metric-compatible one (Liberation Sans, Liberation Mono).
#pragma once

#include <QFont>
#include <QString>

namespace korimo::ui {

QFont DesignFont(const QString& family, double points);

// Arial 8.25 pt: the windows' own font, used by their buttons, frames and labels.
inline QFont WindowFont() {
  return DesignFont(QStringLiteral("Arial"), 8.25);
}

// Courier New 8.25 pt: entry fields and memory rows, whose columns must align.
inline QFont FixedFont() {
  return DesignFont(QStringLiteral("Courier New"), 8.25);
}

}  // namespace korimo::ui
