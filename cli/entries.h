// The numbers a technician types on the command line, read by the tool's one
// set of number rules (decimal, &H hexadecimal, &O octal; "0x20" is no
// number), and the forms the tool prints.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

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

// A word from the command line or a file, as a message quotes it: in double
// quotes, cut to its first 32 bytes ("..." marks the cut), with control
// characters, bytes above 0x7E, the backslash and the quote written \xNN.
std::string Echo(std::string_view text);

// A file or device name as a message quotes it: escaped like Echo, but whole,
// since its end tells two files apart; only a name far longer than any real one
// loses its middle ("..."), keeping its beginning and its end.
std::string EchoPath(std::string_view text);

// `text` as a JSON string, quotes included.
std::string JsonText(std::string_view text);

}  // namespace korimo::cli
