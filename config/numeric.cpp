#include "config/numeric.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace korimo {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsOctalDigit(char c) {
  return c >= '0' && c <= '7';
}
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsExponentMark(char c) {
  return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}
bool IsSign(char c) {
  return c == '+' || c == '-';
}

// ---- The test: the whole text, blanks around it aside, must be one number. ----

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

bool AllOf(std::string_view text, bool (*accept)(char)) {
  for (const char c : text) {
    if (!accept(c)) {
      return false;
    }
  }
  return true;
}

// "&H1F", "&o17": the prefix and at least one digit of its base.
bool IsRadixNumber(std::string_view text) {
  if (text.size() < 3 || text[0] != '&') {
    return false;
  }
  const std::string_view digits = text.substr(2);
  switch (text[1]) {
    case 'H':
    case 'h':
      return AllOf(digits, IsHexDigit);
    case 'O':
    case 'o':
      return AllOf(digits, IsOctalDigit);
    default:
      return false;
  }
}

// [sign] digits with at most one point, at least one digit, [mark [sign] digits].
bool IsDecimalNumber(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && IsSign(text[i])) {
    ++i;
  }
  bool digit_seen = false;
  bool point_seen = false;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      digit_seen = true;
    } else if (text[i] == '.' && !point_seen) {
      point_seen = true;
    } else {
      break;
    }
  }
  if (!digit_seen) {
    return false;
  }
  if (i == text.size()) {
    return true;
  }
  if (!IsExponentMark(text[i])) {
    return false;
  }
  ++i;
  if (i < text.size() && IsSign(text[i])) {
    ++i;
  }
  const std::string_view exponent = text.substr(i);
  return !exponent.empty() && AllOf(exponent, IsDigit);
}

// ---- The value: read from the start, blanks anywhere skipped. ----

// Walks the text's characters that count: blanks, tabs and line feeds are
// skipped wherever they stand. Past the end it yields '\0', which no rule takes.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  char Peek() {
    while (pos_ < text_.size() && (IsBlank(text_[pos_]) || text_[pos_] == '\n')) {
      ++pos_;
    }
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void Take() { ++pos_; }

  // The run of characters that `accept` takes, from here on.
  std::string TakeWhile(bool (*accept)(char)) {
    std::string run;
    while (accept(Peek())) {
      run += Peek();
      Take();
    }
    return run;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// from_chars leaves the value alone when the result is out of range; it is
// then either too large (infinity) or too small (zero) for a double.
double ParseWithin(const std::string& text, std::chars_format format, bool too_large) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, format);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    return too_large ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return error == std::errc{} ? value : 0.0;
}

double HexValue(const std::string& digits) {
  return digits.empty() ? 0.0 : ParseWithin(digits, std::chars_format::hex, true);
}

// Octal digits regrouped into hexadecimal ones, three bits to four, so that the
// value is rounded once, exactly as a hexadecimal number would be.
double OctalValue(const std::string& digits) {
  std::string bits;
  for (const char c : digits) {
    const int d = c - '0';
    bits += (d & 4) ? '1' : '0';
    bits += (d & 2) ? '1' : '0';
    bits += (d & 1) ? '1' : '0';
  }
  bits.insert(0, (4 - bits.size() % 4) % 4, '0');
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (std::size_t i = 0; i < bits.size(); i += 4) {
    const int nibble = (bits[i] - '0') * 8 + (bits[i + 1] - '0') * 4 + (bits[i + 2] - '0') * 2 +
                       (bits[i + 3] - '0');
    hex += kHex[nibble];
  }
  return HexValue(hex);
}

// The exponent as a number, held within a bound far beyond any double.
long long SaturatedExponent(std::string_view exponent) {
  constexpr long long kBound = 1'000'000'000;
  long long value = 0;
  bool negative = false;
  for (const char c : exponent) {
    if (IsSign(c)) {
      negative = c == '-';
    } else if (value < kBound) {
      value = value * 10 + (c - '0');
    }
  }
  return negative ? -value : value;
}

// Whether a mantissa with at least one non-zero digit and this exponent lies
// above 1 in magnitude: decides overflow against underflow.
bool IsLarge(const std::string& mantissa, std::string_view exponent) {
  const std::size_t point = mantissa.find('.');
  const long long whole_digits =
      static_cast<long long>(point == std::string::npos ? mantissa.size() : point);
  const std::size_t first = mantissa.find_first_of("123456789");
  long long position = static_cast<long long>(first);
  if (point != std::string::npos && first > point) {
    --position;  // the point is no digit
  }
  return whole_digits - position - 1 + SaturatedExponent(exponent) >= 0;
}

double DecimalValue(Reader& reader) {
  bool negative = false;
  if (IsSign(reader.Peek())) {
    negative = reader.Peek() == '-';
    reader.Take();
  }
  std::string mantissa;
  bool point_seen = false;
  for (char c = reader.Peek(); IsDigit(c) || (c == '.' && !point_seen); c = reader.Peek()) {
    point_seen = point_seen || c == '.';
    mantissa += c;
    reader.Take();
  }
  // An exponent counts only with at least one digit; "1E" reads as 1.
  std::string exponent;
  if (IsExponentMark(reader.Peek())) {
    reader.Take();
    if (IsSign(reader.Peek())) {
      exponent += reader.Peek();
      reader.Take();
    }
    const std::string digits = reader.TakeWhile(IsDigit);
    exponent = digits.empty() ? std::string() : exponent + digits;
  }

  if (mantissa.find_first_of("123456789") == std::string::npos) {
    return 0.0;  // no digits, or zeros only
  }
  const std::string text = exponent.empty() ? mantissa : mantissa + 'e' + exponent;
  const double magnitude =
      ParseWithin(text, std::chars_format::general, IsLarge(mantissa, exponent));
  return negative ? -magnitude : magnitude;
}

}  // namespace

bool IsNumber(std::string_view text) {
  const std::string_view number = TrimBlanks(text);
  return IsRadixNumber(number) || IsDecimalNumber(number);
}

double NumericValue(std::string_view text) {
  Reader reader(text);
  if (reader.Peek() != '&') {
    return DecimalValue(reader);
  }
  reader.Take();
  const char radix = reader.Peek();
  reader.Take();
  if (radix == 'H' || radix == 'h') {
    return HexValue(reader.TakeWhile(IsHexDigit));
  }
  if (radix == 'O' || radix == 'o') {
    return OctalValue(reader.TakeWhile(IsOctalDigit));
  }
  return 0.0;
}

std::int32_t RoundHalfEven(double value) {
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  if (std::isnan(value)) {
    return 0;
  }
  // Beyond these every value rounds to a whole number outside the range.
  if (value >= kMax + 0.5) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= kMin - 0.5) {
    return std::numeric_limits<std::int32_t>::min();
  }
  const double floor = std::floor(value);
  const double fraction = value - floor;  // exact in this range
  double rounded = floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) {
    rounded = floor + 1.0;
  }
  return static_cast<std::int32_t>(rounded);
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
  if (value < low) {
    value = low;
  } else if (value > high) {
    value = high;
  }
  return value;
}

std::string FiveDigits(std::int64_t value) {
  // The magnitude as unsigned, so that the lowest int64 needs no negation.
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char digits[24];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, magnitude);
  (void)error;  // 20 digits at most always fit
  std::string text(digits, end);
  if (text.size() < 5) {
    text.insert(0, 5 - text.size(), '0');
  }
  return value < 0 ? "-" + text : text;
}

std::string PositionText(std::int32_t thousandths, std::string_view decimal_point) {
  const std::int64_t magnitude = thousandths < 0 ? -std::int64_t{thousandths} : thousandths;
  std::string whole = std::to_string(magnitude / 1000);
  std::string fraction = std::to_string(magnitude % 1000);
  whole.insert(0, whole.size() < 2 ? 2 - whole.size() : 0, '0');
  fraction.insert(0, 3 - fraction.size(), '0');
  return (thousandths < 0 ? "-" : "") + whole + std::string(decimal_point) + fraction;
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
