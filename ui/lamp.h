// A lamp shape: a circle with a solid fill, or a rounded rectangle with an
// opaque background and a border. Every assignment of a colour or the border
// width repaints the lamp and is counted, so callers that promise to assign
// only on change can be held to it.
#pragma once

#include <QColor>
#include <QWidget>
#include <algorithm>

namespace korimo::ui {

// Lamp colours as the platform's colour integers give them.
inline const QColor kLampOn{0x00, 0xFF, 0x00};
inline const QColor kLampOff{0x80, 0x80, 0x80};

class Lamp : public QWidget {
  Q_OBJECT

 public:
  enum class Shape { kCircle, kRoundedRectangle };

  explicit Lamp(Shape shape, QWidget* parent = nullptr);

  Shape LampShape() const { return shape_; }

  // The fill of a circle lamp (drawn over the background when solid).
  QColor FillColor() const { return fill_; }
  void SetFillColor(const QColor& colour) { Assign(fill_, colour); }
  bool FillSolid() const { return fill_solid_; }
  void SetFillSolid(bool solid) { Assign(fill_solid_, solid); }

  // The background of a rounded-rectangle lamp (drawn when opaque).
  QColor BackColor() const { return back_; }
  void SetBackColor(const QColor& colour) { Assign(back_, colour); }
  bool BackOpaque() const { return back_opaque_; }
  void SetBackOpaque(bool opaque) { Assign(back_opaque_, opaque); }

  int BorderWidth() const { return border_width_; }
  void SetBorderWidth(int width) { Assign(border_width_, std::max(width, 0)); }

  // How many assignments asked for a repaint since the lamp was made.
  int RepaintRequests() const { return repaint_requests_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Every assignment counts as a change, whether or not the value differs.
  template <typename T>
  void Assign(T& property, const T& value) {
    property = value;
    ++repaint_requests_;
    update();
  }

  Shape shape_;
  QColor fill_ = kLampOff;
  bool fill_solid_ = true;
  QColor back_;
  bool back_opaque_ = false;
  int border_width_ = 1;
  int repaint_requests_ = 0;
};

// Paints a circle lamp green when `on`, grey otherwise; assigns the fill only
// when it differs from the current one, so an unchanged state repaints nothing.
void SetIndicator(Lamp& shape, bool on);

}  // namespace korimo::ui
