#include "ui/lamp.h"

#include <QPainter>
#include <algorithm>

namespace korimo::ui {

Lamp::Lamp(Shape shape, QWidget* parent)
    : QWidget(parent), shape_(shape), back_(palette().color(QPalette::Button)) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void Lamp::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPen pen(palette().color(QPalette::WindowText));
  pen.setWidth(border_width_);
  painter.setPen(border_width_ > 0 ? pen : QPen(Qt::NoPen));

  // Keep the whole border inside the widget.
  const qreal inset = border_width_ / 2.0;
  const QBrush fill = fill_solid_ ? QBrush(fill_) : QBrush(Qt::NoBrush);
  if (shape_ == Shape::kCircle) {
    const qreal side = std::min(width(), height()) - 2 * inset;
    const QRectF circle((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    painter.setBrush(fill);
    painter.drawEllipse(circle);
    return;
  }
  const QRectF box = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
  const qreal radius = std::min(box.width(), box.height()) / 4.0;
  if (back_opaque_) {
    painter.setBrush(back_);
    painter.drawRoundedRect(box, radius, radius);
  }
  // The fill over it, or the bare border where there is neither.
  if (fill_solid_ || !back_opaque_) {
    painter.setBrush(fill);
    painter.drawRoundedRect(box, radius, radius);
  }
}

void SetIndicator(Lamp& shape, bool on) {
  const QColor wanted = on ? kLampOn : kLampOff;
  if (shape.FillColor() != wanted) {
    shape.SetFillColor(wanted);
  }
}

}  // namespace korimo::ui
