// The fonts the windows are designed in. Where a named face is missing (no
// Arial or Courier New on Linux), the style hint lets fontconfig pick a
// metric-compatible one (Liberation Sans, Liberation Mono).
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

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

// `font`, condensed just enough that each of `texts` fits `width` pixels, for
// a label whose designed rectangle is narrower than its text in the face the
// platform resolves (Arial and its stand-in are wider than the face the
// layouts were drawn in). Unchanged when the texts fit; at most to 75 %.
QFont NarrowedToFit(const QFont& font, const QStringList& texts, int width);

}  // namespace korimo::ui
