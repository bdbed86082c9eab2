#include "jog/jog_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace korimo::jog {
namespace {

// An arrow pointing right, to fit a box of `length` by `breadth` around the
// origin; outer buttons carry a block arrow with a shaft, inner ones a
// plain head.
QPainterPath RightArrow(qreal length, qreal breadth, bool with_shaft) {
  const qreal half = length / 2;
  const qreal wing = breadth / 2;
  QPolygonF outline{{-half, -wing}, {half, 0}, {-half, wing}};
  if (with_shaft) {
    const qreal neck = half - length * 0.45;
    const qreal shaft = breadth / 5;
    outline = {{-half, -shaft}, {neck, -shaft}, {neck, -wing}, {half, 0},
               {neck, wing},    {neck, shaft},  {-half, shaft}};
  }
  QPainterPath arrow;
  arrow.addPolygon(outline);
  arrow.closeSubpath();
  return arrow;
}

// The angle that turns a right arrow into the button's direction; on screen
// positive Y points up, positive X right, positive Z up.
qreal Rotation(const JogButtonDesign& design) {
  if (design.axis == JogAxis::kX) {
    return design.direction > 0 ? 0 : 180;
  }
  return design.direction > 0 ? -90 : 90;
}

}  // namespace

JogButton::JogButton(const JogButtonDesign& design, QWidget* parent)
    : QWidget(parent), design_(design) {
  setObjectName(QStringLiteral("picMove"));
  setProperty("index", design.index);
  setProperty("tag", Tag());
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void JogButton::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(design_.index, event->button(), event->modifiers(), event->position());
  event->accept();
}

void JogButton::mouseReleaseEvent(QMouseEvent* event) {
  emit MouseUp(design_.index, event->button(), event->modifiers(), event->position());
  event->accept();
}

void JogButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  // The sunken border of a picture box.
  QStyleOptionFrame frame;
  frame.initFrom(this);
  frame.lineWidth = 1;
  frame.midLineWidth = 0;
  frame.state |= QStyle::State_Sunken;
  style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);

  const bool horizontal = design_.axis == JogAxis::kX;
  const qreal room_along = (horizontal ? width() : height()) - 6.0;
  const qreal room_across = (horizontal ? height() : width()) - 6.0;
  const qreal length = std::max<qreal>(2, design_.outer ? room_along * 0.8 : room_along);
  const qreal breadth =
      std::max<qreal>(2, std::min(room_across, design_.outer ? length * 0.9 : length * 1.6));

  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(width() / 2.0, height() / 2.0);
  painter.rotate(Rotation(design_));
  painter.setPen(Qt::NoPen);
  painter.setBrush(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawPath(RightArrow(length, breadth, design_.outer));
}

}  // namespace korimo::jog
