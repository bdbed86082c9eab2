#include "ui/fonts.h"

namespace korimo::ui {

QFont DesignFont(const QString& family, double points) {
  QFont font(family);
  font.setStyleHint(family.startsWith(QStringLiteral("Courier")) ? QFont::TypeWriter
                                                                 : QFont::SansSerif);
  font.setPointSizeF(points);
  return font;
}

}  // namespace korimo::ui
