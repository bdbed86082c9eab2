// The number rules of every entry field and prompt of the tool.
//
// A text is a number when, blanks around it ignored, it is a decimal number (an
// optional sign, digits with at most one decimal point, an optional exponent
// E or D with optional sign and digits) or "&H" with hexadecimal digits, or
// "&O" with octal digits. Empty text is not a number, nor is "0x20".
//
// Its value is read from the start as far as it forms a number, blanks, tabs
// and line feeds being skipped wherever they stand ("1 2" reads as 12); reading
// stops at the first other character. Text that holds no number reads as 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korimo {

// The largest parameter word (a serial number, a speed, a travel, a position).
inline constexpr std::int32_t kWordMax = 65535;

bool IsNumber(std::string_view text);

// The value as far as the text forms a number; 0 when it holds none. Values
// beyond the range of a double come back as +/- infinity.
double NumericValue(std::string_view text);

// Rounds to the nearest whole number, a half going to the even neighbour, and
// saturates at the limits of a 32-bit signed integer.
std::int32_t RoundHalfEven(double value);

// Text to whole number: the rounded value when the text is a number, else 0
// ("-----", empty text and letters all give 0).
std::int32_t ValueOfText(std::string_view text);

// A parameter word entry (a serial number, a travel, a speed), as the window's
// Set and korimo-cli both take it: the text's whole number, rounded as
// ValueOfText rounds it, when that lies in 0..65535. The rounded number
// decides, so "-0.4" is 0 and "65535.4" is 65535, while "-0.6" (-1) and
// "65535.5" (65536) have no word. The caller decides what text that is no
// number stands for.
enum class WordEntryVerdict { kValid, kNotANumber, kOutOfRange };
struct WordEntryRead {
  WordEntryVerdict verdict;
  std::uint16_t value;  // when kValid
};
WordEntryRead ReadWordEntry(std::string_view text);

// A single typed character counts as a number only when it is a digit 0..9.
bool IsDigitKey(char32_t character);

// Brings `value` into low..high, writes it back and returns it.
std::int32_t Clamp(std::int32_t& value, std::int32_t low, std::int32_t high);

// The "00000" form: decimal, padded with leading zeros to at least five digits
// (a negative number keeps its sign in front: -00042).
std::string FiveDigits(std::int64_t value);

// A position word in thousandths in the form "00.000", with `decimal_point`
// between the parts: 12345 gives "12.345", 5 gives "00.005" (a negative value,
// which a position word never is, keeps its sign in front).
std::string PositionText(std::int32_t thousandths, std::string_view decimal_point = ".");

// The memory editor's entry rule for an address or a value below `limit`:
// text that is no number ("0x20") is kNotANumber; an entry below zero, or
// whose whole number reaches the limit (63.5 rounds to 64), is kOutOfRange.
enum class EditorEntryVerdict { kValid, kNotANumber, kOutOfRange };
struct EditorEntryRead {
  EditorEntryVerdict verdict;
  std::uint8_t value;  // when kValid
};
EditorEntryRead ReadEditorEntry(std::string_view text, int limit);

}  // namespace korimo
