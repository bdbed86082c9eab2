#include "ui/spin_control.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>

namespace korimo::ui {
namespace {

QToolButton* MakeArrow(QWidget* parent, Qt::ArrowType arrow, const char* name) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setArrowType(arrow);
  button->setAutoRepeat(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  return button;
}

}  // namespace

SpinControl::SpinControl(QWidget* parent)
    : QWidget(parent),
      up_(MakeArrow(this, Qt::UpArrow, "up")),
      down_(MakeArrow(this, Qt::DownArrow, "down")) {
  auto* arrows = new QVBoxLayout(this);
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(0);
  arrows->addWidget(up_);
  arrows->addWidget(down_);
  connect(up_, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void SpinControl::SetValue(int value) {
  const int clamped = std::clamp(value, minimum_, maximum_);
  if (clamped == value_) {
    return;
  }
  value_ = clamped;
  emit ValueChanged(value_);
}

void SpinControl::SetRange(int minimum, int maximum) {
  minimum_ = std::min(minimum, maximum);
  maximum_ = std::max(minimum, maximum);
  SetValue(value_);
}

void SpinControl::Step(int direction) {
  const std::int64_t next = std::int64_t{value_} + std::int64_t{direction} * kIncrement;
  SetValue(static_cast<int>(std::clamp<std::int64_t>(next, minimum_, maximum_)));
}

}  // namespace korimo::ui
