// The numbers a technician types on the command line, read by the tool's one
// set of number rules (decimal, &H hexadecimal, &O octal; "0x20" is no
// number), and the forms the tool prints.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "config/numeric.h"

namespace korimo::cli {

// A memory editor entry below `limit` (64 for an address, 256 for a value).
// Refuses, with one sentence on `err`, text that is no number ("0x20"), an
// entry below zero, and one whose whole number reaches the limit (63.5 rounds
// to 64): the memory editor's "Invalid Value".
std::optional<std::uint8_t> EditorEntry(std::string_view text, int limit, std::string_view what,
                                        std::ostream& err);

// A parameter word 0..65535 for `option`, by the rule of the window's Set
// (ReadWordEntry: "-0.4" is 0, "65535.5" has no word); refuses, with one
// sentence on `err`, text that is no number and whole numbers outside the range.
bool IsWordEntry(std::string_view text, std::string_view option, std::ostream& err);

// The longest wait --timeout takes: one day.
inline constexpr double kLongestTimeout = 86400.0;

// Seconds for --timeout: a number above zero and at most kLongestTimeout.
std::optional<double> TimeoutSeconds(std::string_view text);

// `text` as a whole number of decimal digits up to `largest`, or nothing.
template <typename Number>
std::optional<Number> WholeNumber(std::string_view text, Number largest) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value > largest) {
    return std::nullopt;
  }
  return value;
}

// A word from the command line or a file, as a message quotes it: in double
// quotes, cut to its first 32 bytes ("..." marks the cut), with control
// characters, bytes above 0x7E, the backslash and the quote written \xNN.
std::string Echo(std::string_view text);

// A file or device name as a message quotes it: escaped like Echo, but whole,
// since its end tells two files apart; only a name far longer than any real one
// loses its middle ("..."), keeping its beginning and its end.
std::string EchoPath(std::string_view text);

// The lines of `text`, each without its LF or CRLF. A final line end closes the
// last line rather than opening an empty one.
std::vector<std::string_view> Lines(std::string_view text);

// `text` as a JSON string, quotes included.
std::string JsonText(std::string_view text);

}  // namespace korimo::cli
