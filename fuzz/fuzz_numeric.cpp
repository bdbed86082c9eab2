// Feeds arbitrary bytes to the number rules of the entry fields and prompts and
// checks that the test, the value and the whole number agree with each other.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/numeric.h"
#include "fuzz/check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korimo;
  using fuzz::Check;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const bool number = IsNumber(text);
  const double value = NumericValue(text);
  const std::int32_t whole = ValueOfText(text);

  Check(!std::isnan(value), "the value is never NaN");
  if (number) {
    Check(whole == RoundHalfEven(value), "a number's whole value is its rounded value");
  } else {
    Check(whole == 0, "text that is no number gives 0");
  }

  // Blanks around the text change neither the test nor the value.
  const std::string padded = " \t" + text + "\t ";
  Check(IsNumber(padded) == number, "blanks around the text do not change the test");
  Check(NumericValue(padded) == value, "blanks around the text do not change the value");

  // Blanks, tabs and line feeds are skipped wherever they stand.
  std::string packed = text;
  std::erase_if(packed, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
  Check(NumericValue(packed) == value, "inner blanks do not change the value");

  // The five-digit form is a number that reads back as itself.
  const std::string shown = FiveDigits(whole);
  Check(IsNumber(shown) && ValueOfText(shown) == whole, "the five-digit form reads back");

  // A single typed character is a number exactly when it is a digit key.
  if (size == 1) {
    Check(number == IsDigitKey(static_cast<unsigned char>(data[0])),
          "one character is a number exactly when it is a digit");
  }

  std::int32_t clamped = whole;
  const std::int32_t result = Clamp(clamped, 0, 65535);
  Check(result == clamped && clamped >= 0 && clamped <= 65535, "clamp stays in range");
  return 0;
}
