// The twelve jog buttons of the jog window: the index and tag of each element
// of the picMove array, the axis and direction it moves, and where it stands.
// The tag names the button's movement file (tag + ".mov" in the program's
// folder). Plain data, shared by the window and the demo's movement files.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace korimo::jog {

enum class JogAxis { kX, kY, kZ };

struct JogButtonDesign {
  std::int16_t index;
  std::string_view tag;
  JogAxis axis;
  int direction;  // +1 or -1
  bool outer;     // the large "JOG" buttons at the ends; the thin "CRL" ones lie inside
  int left;       // twips
  int top;
  int width;
  int height;
};

inline constexpr std::array<JogButtonDesign, 12> kJogButtons{{
    {11, "JOGPOSY", JogAxis::kY, +1, true, 1200, 120, 615, 495},
    {21, "CRLPOSY", JogAxis::kY, +1, false, 1200, 720, 615, 255},
    {23, "CRLNEGY", JogAxis::kY, -1, false, 1200, 1680, 615, 255},
    {13, "JOGNEGY", JogAxis::kY, -1, true, 1200, 2040, 615, 495},
    {10, "JOGNEGX", JogAxis::kX, -1, true, 120, 1080, 615, 495},
    {22, "CRLNEGX", JogAxis::kX, -1, false, 840, 1080, 255, 495},
    {20, "CRLPOSX", JogAxis::kX, +1, false, 1920, 1080, 255, 495},
    {12, "JOGPOSX", JogAxis::kX, +1, true, 2280, 1080, 615, 495},
    {5, "JOGPOSZ", JogAxis::kZ, +1, true, 3240, 120, 615, 495},
    {1, "CRLPOSZ", JogAxis::kZ, +1, false, 3240, 720, 615, 255},
    {30, "CRLNEGZ", JogAxis::kZ, -1, false, 3240, 1680, 615, 255},
    {4, "JOGNEGZ", JogAxis::kZ, -1, true, 3240, 2040, 615, 495},
}};

// The design of the button with `index`; nullptr when no button has it (0 among them).
constexpr const JogButtonDesign* FindJogButton(int index) {
  const auto found = std::ranges::find(kJogButtons, index, &JogButtonDesign::index);
  return found != kJogButtons.end() ? &*found : nullptr;
}

inline constexpr std::string_view kMoveFileExtension = ".mov";

}  // namespace korimo::jog
