// A jog button: a picture box of the picMove array with an arrow drawn on it.
// It reports every mouse press and release with its array index, whatever
// mouse button it was; a release is reported by the button that was pressed,
// even when the pointer has moved over another one.
#pragma once

#include <QString>
#include <QWidget>

#include "jog/jog_buttons.h"

namespace korimo::jog {

class JogButton : public QWidget {
  Q_OBJECT

 public:
  JogButton(const JogButtonDesign& design, QWidget* parent = nullptr);

  int Index() const { return design_.index; }
  QString Tag() const { return QString::fromLatin1(design_.tag); }
  const JogButtonDesign& Design() const { return design_; }

 signals:
  void MouseDown(int index, Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF where);
  void MouseUp(int index, Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF where);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  const JogButtonDesign& design_;
};

}  // namespace korimo::jog
