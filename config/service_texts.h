// Texts the windows and korimo-cli show alike.
#pragma once

#include <string_view>

namespace korimo {

// The USB identity reset asks before it is sent.
inline constexpr std::string_view kClearIdQuestion =
    "This will reset the engraver VID/PID.  Are you sure you want to continue?";
inline constexpr std::string_view kClearIdTitle = "Reset VID/PID";

}  // namespace korimo
