#include "config/numeric.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace korimo {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsSign(char c) {
  return c == '+' || c == '-';
}

// A number read from the start of a text: its value and how many characters
// it took (0 when the text does not start with a number).
struct Scan {
  double value = 0.0;
  std::size_t length = 0;
};

// "&H" or "&O" and its digits, rounded once to the nearest double: the first
// digits that fit 64 bits, a sticky bit for any non-zero digit after them,
// scaled by the rest.
Scan ScanRadix(std::string_view text) {
  const char radix = text.size() > 1 ? static_cast<char>(text[1] | 0x20) : '\0';
  const int base = radix == 'h' ? 16 : radix == 'o' ? 8 : 0;
  if (base == 0) {
    return {};
  }
  std::string_view digits = text.substr(std::min<std::size_t>(text.size(), 2));
  digits = digits.substr(
      0, digits.find_first_not_of(base == 16 ? "0123456789abcdefABCDEF" : "01234567"));
  if (digits.empty()) {
    return {};
  }
  const std::size_t length = 2 + digits.size();
  digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
  const std::size_t kept = std::min<std::size_t>(digits.size(), base == 16 ? 16 : 21);
  std::uint64_t leading = 0;
  std::from_chars(digits.data(), digits.data() + kept, leading, base);
  const bool sticky = digits.find_first_not_of('0', kept) != std::string_view::npos;
  const auto rest = static_cast<int>(std::min<std::size_t>(digits.size() - kept, 4096));
  return {std::ldexp(static_cast<double>(leading | (sticky ? 1 : 0)), (base == 16 ? 4 : 3) * rest),
          length};
}

// When from_chars finds a number beyond a double it leaves the value alone: the
// place of its first significant digit, with the exponent, says whether it was
// too large (infinity) or too small (zero).
bool IsLarge(std::string_view number) {
  const std::size_t mark = std::min(number.find('e'), number.size());
  const std::string_view mantissa = number.substr(0, mark);
  std::string_view exponent = number.substr(std::min(mark + 1, number.size()));
  const std::size_t first = mantissa.find_first_not_of("0.");
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  if (first == std::string_view::npos) {
    return false;
  }
  long long place =
      static_cast<long long>(point) - static_cast<long long>(first) - (first < point ? 1 : 0);
  const bool negative = !exponent.empty() && exponent.front() == '-';
  exponent.remove_prefix(!exponent.empty() && IsSign(exponent.front()) ? 1 : 0);
  // Any exponent beyond this is beyond any double either way; held there, it
  // cannot overflow the place it moves.
  constexpr long long kBeyond = 1'000'000'000;
  long long power = 0;
  if (std::from_chars(exponent.data(), exponent.data() + exponent.size(), power).ec !=
      std::errc{}) {
    power = exponent.empty() ? 0 : kBeyond;
  }
  power = std::min(power, kBeyond);
  place += negative ? -power : power;
  return place >= 0;
}

// [sign] digits with at most one point, [E or D [sign] digits].
Scan ScanDecimal(std::string text) {
  const std::size_t start = !text.empty() && IsSign(text.front()) ? 1 : 0;
  if (start == text.size() || !(IsDigit(text[start]) || text[start] == '.')) {
    return {};  // also keeps from_chars from "inf" and "nan"
  }
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == 'd' || c == 'D' || c == 'E'; }, 'e');
  const char* begin = text.data() + start;
  double value = 0.0;
  const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  if (error == std::errc::invalid_argument) {
    return {};
  }
  if (error == std::errc::result_out_of_range) {
    value = IsLarge({begin, end}) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return {text.front() == '-' ? -value : value, static_cast<std::size_t>(end - text.data())};
}

// The magnitude as unsigned, so that the lowest int64 needs no negation.
std::uint64_t Magnitude(std::int64_t value) {
  return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

// Decimal, with leading zeros to at least `width` digits.
std::string Padded(std::uint64_t number, std::size_t width) {
  const std::string digits = std::to_string(number);
  return std::string(width - std::min(width, digits.size()), '0') + digits;
}

Scan ScanNumber(std::string_view text) {
  return text.starts_with('&') ? ScanRadix(text) : ScanDecimal(std::string(text));
}

}  // namespace

bool IsNumber(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return false;
  }
  const std::string_view number = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
  return ScanNumber(number).length == number.size();
}

double NumericValue(std::string_view text) {
  std::string packed(text);
  std::erase_if(packed, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
  return ScanNumber(packed).value;
}

std::int32_t RoundHalfEven(double value) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  return std::isnan(value)
             ? 0
             : static_cast<std::int32_t>(std::clamp(std::nearbyint(value), kMin, kMax));
}

std::int32_t ValueOfText(std::string_view text) {
  return IsNumber(text) ? RoundHalfEven(NumericValue(text)) : 0;
}

WordEntryRead ReadWordEntry(std::string_view text) {
  if (!IsNumber(text)) {
    return {WordEntryVerdict::kNotANumber, 0};
  }
  const std::int32_t whole = RoundHalfEven(NumericValue(text));
  if (whole < 0 || whole > kWordMax) {
    return {WordEntryVerdict::kOutOfRange, 0};
  }
  return {WordEntryVerdict::kValid, static_cast<std::uint16_t>(whole)};
}

bool IsDigitKey(char32_t character) {
  return character >= U'0' && character <= U'9';
}

std::int32_t Clamp(std::int32_t& value, std::int32_t low, std::int32_t high) {
  return value = std::clamp(value, low, high);
}

std::string FiveDigits(std::int64_t value) {
  return (value < 0 ? "-" : "") + Padded(Magnitude(value), 5);
}

std::string PositionText(std::int32_t thousandths, std::string_view decimal_point) {
  const std::uint64_t magnitude = Magnitude(thousandths);
  return (thousandths < 0 ? "-" : "") + Padded(magnitude / 1000, 2) + std::string(decimal_point) +
         Padded(magnitude % 1000, 3);
}

EditorEntryRead ReadEditorEntry(std::string_view text, int limit) {
  if (!IsNumber(text)) {
    return {EditorEntryVerdict::kNotANumber, 0};
  }
  const double value = NumericValue(text);
  const std::int32_t whole = RoundHalfEven(value);
  // Below zero (or no value at all), or rounding up to the limit, is as invalid as the limit.
  if (!(value >= 0) || whole >= limit) {
    return {EditorEntryVerdict::kOutOfRange, 0};
  }
  return {EditorEntryVerdict::kValid, static_cast<std::uint8_t>(whole)};
}

}  // namespace korimo
