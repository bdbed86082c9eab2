// Texts the windows and korimo-cli show alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korimo {

// The USB identity reset asks before it is sent.
inline constexpr std::string_view kClearIdQuestion =
    "This will reset the engraver VID/PID.  Are you sure you want to continue?";
inline constexpr std::string_view kClearIdTitle = "Reset VID/PID";

// The memory editor's answer to an address or value out of its range.
inline constexpr std::string_view kInvalidValue = "Invalid Value";

// After a command whose writes did not all reach the engraver: how many of the
// `total` `things` ("values", "cells") did, and that `command` ("Set", "Clear")
// should be given again once the engraver is connected.
inline std::string NotDeliveredMessage(std::size_t delivered, std::size_t total,
                                       std::string_view things, std::string_view command) {
  return (delivered == 0 ? std::string("None") : "Only " + std::to_string(delivered)) + " of the " +
         std::to_string(total) + " " + std::string(things) + " reached the engraver. " +
         std::string(command) + " again once the engraver is connected.";
}

}  // namespace korimo
