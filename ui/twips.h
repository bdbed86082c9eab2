// Window layouts are designed in twips (1/1440 inch). At 96 logical pixels per
// inch a pixel is 15 twips; this is the one place that converts.
#pragma once

#include <QRect>
#include <QWidget>

namespace korimo::ui {

inline constexpr int kTwipsPerPixel = 15;

// Twips to logical pixels, rounded to the nearest pixel.
constexpr int Px(int twips) {
  return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                    : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

constexpr QRect TwipsRect(int left, int top, int width, int height) {
  return {Px(left), Px(top), Px(width), Px(height)};
}

// Places `widget` in its parent (a window's client area or a frame).
inline void PlaceTwips(QWidget& widget, int left, int top, int width, int height) {
  widget.setGeometry(TwipsRect(left, top, width, height));
}

}  // namespace korimo::ui
