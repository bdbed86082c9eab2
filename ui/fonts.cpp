#include "ui/fonts.h"

#include <QFontMetrics>
#include <algorithm>

namespace korimo::ui {

QFont DesignFont(const QString& family, double points) {
  QFont font(family);
  font.setStyleHint(family.startsWith(QStringLiteral("Courier")) ? QFont::TypeWriter
                                                                 : QFont::SansSerif);
  font.setPointSizeF(points);
  return font;
}

QFont NarrowedToFit(const QFont& font, const QStringList& texts, int width) {
  const auto fit = [&texts, width](const QFont& candidate) {
    const QFontMetrics metrics(candidate);
    return std::all_of(texts.begin(), texts.end(), [&metrics, width](const QString& text) {
      return metrics.horizontalAdvance(text) <= width;
    });
  };
  if (fit(font)) {
    return font;
  }
  QFont narrowed = font;
  for (int stretch = QFont::Unstretched - 1; stretch >= QFont::Condensed; --stretch) {
    narrowed.setStretch(stretch);
    if (fit(narrowed)) {
      break;
    }
  }
  return narrowed;
}

}  // namespace korimo::ui
