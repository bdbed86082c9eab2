#include "ui/twips.h"

#include <QWidget>

namespace korimo::ui {

void PlaceTwips(QWidget& widget, int left, int top, int width, int height) {
  widget.setGeometry(TwipsRect(left, top, width, height));
}

}  // namespace korimo::ui
