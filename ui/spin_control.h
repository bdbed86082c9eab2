// An up-down spin control: two arrow buttons stacked vertically and a whole
// number value that they step. It has no text of its own; a window couples it
// to a field through ValueChanged.
#pragma once

#include <QWidget>

class QToolButton;

namespace korimo::ui {

class SpinControl : public QWidget {
  Q_OBJECT

 public:
  explicit SpinControl(QWidget* parent = nullptr);

  int Value() const { return value_; }
  // Brings `value` into the range; emits ValueChanged when the value changes.
  void SetValue(int value);

  void SetRange(int minimum, int maximum);

  // The arrows: "up" raises the value, "down" lowers it; both stop at the ends.
  QToolButton* UpArrow() const { return up_; }
  QToolButton* DownArrow() const { return down_; }

 signals:
  void ValueChanged(int value);

 private:
  static constexpr int kIncrement = 1;  // one per click of an arrow

  void Step(int direction);

  QToolButton* up_;
  QToolButton* down_;
  int value_ = 0;
  int minimum_ = 0;
  int maximum_ = 10;
};

}  // namespace korimo::ui
