#include "config/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace korimo {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

// One entered text: whether it counts as a number, the value read from it and
// the whole number that ValueOfText makes of it.
struct TextCase {
  std::string text;
  bool is_number;
  double value;
  std::int32_t whole;
};

// Shows the text quoted, control characters escaped and long texts cut short.
std::string Shown(const std::string& text) {
  std::string shown = "\"";
  for (const char c : text.substr(0, 40)) {
    switch (c) {
      case '\t':
        shown += "\\t";
        break;
      case '\n':
        shown += "\\n";
        break;
      case '\r':
        shown += "\\r";
        break;
      case '\0':
        shown += "\\0";
        break;
      default:
        shown += c;
    }
  }
  shown += '"';
  if (text.size() > 40) {
    shown += "... (" + std::to_string(text.size()) + " characters)";
  }
  return shown;
}

std::ostream& operator<<(std::ostream& out, const TextCase& row) {
  return out << Shown(row.text);
}

class EnteredText : public ::testing::TestWithParam<TextCase> {};

TEST_P(EnteredText, TestValueAndWholeNumber) {
  const TextCase& row = GetParam();
  EXPECT_EQ(IsNumber(row.text), row.is_number);
  EXPECT_EQ(NumericValue(row.text), row.value);
  EXPECT_EQ(ValueOfText(row.text), row.whole);
}

INSTANTIATE_TEST_SUITE_P(
    Radix, EnteredText,
    ::testing::Values(
        // Ampersand forms, either case, unsigned.
        TextCase{"&H20", true, 32, 32}, TextCase{"&h20", true, 32, 32},
        TextCase{"&HfF", true, 255, 255}, TextCase{"&O17", true, 15, 15},
        TextCase{"&o17", true, 15, 15}, TextCase{"&HFFFF", true, 65535, 65535},
        TextCase{"&HFFFFFFFF", true, 4294967295.0, kMax32},
        TextCase{"&O37777777777", true, 4294967295.0, kMax32}, TextCase{" &H20\t", true, 32, 32},
        // A prefix with no digit, or a digit of the wrong base.
        TextCase{"&H", false, 0, 0}, TextCase{"&O", false, 0, 0}, TextCase{"&", false, 0, 0},
        TextCase{"&O8", false, 0, 0}, TextCase{"&O78", false, 7, 0}, TextCase{"&HG", false, 0, 0},
        TextCase{"&H1G", false, 1, 0}, TextCase{"&B101", false, 0, 0},
        TextCase{"&X20", false, 0, 0},
        // Blanks inside are skipped by the value only.
        TextCase{"& H 2 0", false, 32, 0}, TextCase{"-&H20", false, 0, 0},
        TextCase{"+&H20", false, 0, 0},
        // The C form is no number; its value stops at the x.
        TextCase{"0x20", false, 0, 0}, TextCase{"0X20", false, 0, 0}, TextCase{"0x", false, 0, 0}));

INSTANTIATE_TEST_SUITE_P(
    Decimal, EnteredText,
    ::testing::Values(
        TextCase{"42", true, 42, 42}, TextCase{"00042", true, 42, 42},
        TextCase{" 42 ", true, 42, 42}, TextCase{"\t42\t", true, 42, 42},
        TextCase{"+42", true, 42, 42}, TextCase{"-42", true, -42, -42},
        TextCase{"4.25", true, 4.25, 4}, TextCase{"5.", true, 5, 5}, TextCase{".5", true, 0.5, 0},
        TextCase{"+.5", true, 0.5, 0}, TextCase{"-.5", true, -0.5, 0},
        TextCase{"1e3", true, 1000, 1000}, TextCase{"1E3", true, 1000, 1000},
        TextCase{"1d3", true, 1000, 1000}, TextCase{"1D-2", true, 0.01, 0},
        TextCase{"2.5e+1", true, 25, 25}, TextCase{".5e1", true, 5, 5},
        TextCase{"1e0003", true, 1000, 1000},
        // Not numbers, read as far as they form one.
        TextCase{"", false, 0, 0}, TextCase{"   ", false, 0, 0}, TextCase{"-", false, 0, 0},
        TextCase{"+", false, 0, 0}, TextCase{".", false, 0, 0}, TextCase{"-.", false, 0, 0},
        TextCase{"1E", false, 1, 0}, TextCase{"1E+", false, 1, 0}, TextCase{"1e-", false, 1, 0},
        TextCase{"1e3.5", false, 1000, 0}, TextCase{"e3", false, 0, 0},
        TextCase{"1.2.3", false, 1.2, 0}, TextCase{"12abc", false, 12, 0},
        TextCase{"abc", false, 0, 0}, TextCase{"+-5", false, 0, 0}, TextCase{"--5", false, 0, 0},
        TextCase{"-----", false, 0, 0}, TextCase{"5-", false, 5, 0}, TextCase{"1f3", false, 1, 0}));

INSTANTIATE_TEST_SUITE_P(
    BlanksAndLocale, EnteredText,
    ::testing::Values(
        // Blanks, tabs and line feeds are skipped wherever they stand when reading.
        TextCase{"4 2", false, 42, 0}, TextCase{"1 2 3", false, 123, 0},
        TextCase{"- 5", false, -5, 0}, TextCase{"1 e 3", false, 1000, 0},
        TextCase{"4\t2", false, 42, 0}, TextCase{"4\n2", false, 42, 0},
        TextCase{"\n42", false, 42, 0}, TextCase{"42\n", false, 42, 0},
        // A carriage return is neither a blank nor part of a number.
        TextCase{"4\r2", false, 4, 0}, TextCase{"\r42", false, 0, 0},
        TextCase{std::string("4\0"
                             "2",
                             3),
                 false, 4, 0},
        // Locale extras are not accepted; a separator ends the value.
        TextCase{"1,000", false, 1, 0}, TextCase{"1.000,5", false, 1, 0},
        TextCase{"$5", false, 0, 0}, TextCase{"5$", false, 5, 0}, TextCase{"(5)", false, 0, 0},
        TextCase{"5%", false, 5, 0},
        TextCase{"1\xA0"
                 "000",
                 false, 1, 0}));

INSTANTIATE_TEST_SUITE_P(
    Range, EnteredText,
    ::testing::Values(
        TextCase{"70000", true, 70000, 70000}, TextCase{"-70000", true, -70000, -70000},
        TextCase{"99999999999", true, 99999999999.0, kMax32},
        TextCase{"-99999999999", true, -99999999999.0, kMin32},
        TextCase{"2147483647", true, 2147483647.0, kMax32},
        TextCase{"2147483648", true, 2147483648.0, kMax32},
        TextCase{"-2147483648", true, -2147483648.0, kMin32},
        TextCase{"-2147483649", true, -2147483649.0, kMin32},
        TextCase{"1e308", true, 1e308, kMax32}, TextCase{"1000e305", true, 1e308, kMax32},
        // Beyond a double: infinity, or zero for the very small.
        TextCase{"1e309", true, kInf, kMax32}, TextCase{"10000e305", true, kInf, kMax32},
        TextCase{"1e400", true, kInf, kMax32}, TextCase{"-1e400", true, -kInf, kMin32},
        TextCase{"1e99999999999999999999", true, kInf, kMax32}, TextCase{"1e-400", true, 0, 0},
        TextCase{"10e9223372036854775807", true, kInf, kMax32},
        TextCase{"0.01e-9223372036854775807", true, 0, 0}, TextCase{"0.001e-400", true, 0, 0},
        TextCase{"0e99999", true, 0, 0}, TextCase{std::string(400, '9'), true, kInf, kMax32},
        TextCase{"1" + std::string(400, '0') + "e-400", true, 1, 1},
        TextCase{"0." + std::string(399, '0') + "1e400", true, 1, 1},
        TextCase{"&H" + std::string(300, 'F'), true, kInf, kMax32},
        TextCase{"&O" + std::string(400, '7'), true, kInf, kMax32}));

INSTANTIATE_TEST_SUITE_P(
    HalvesToEven, EnteredText,
    ::testing::Values(TextCase{"2.5", true, 2.5, 2}, TextCase{"3.5", true, 3.5, 4},
                      TextCase{"-2.5", true, -2.5, -2}, TextCase{"-3.5", true, -3.5, -4},
                      TextCase{"0.5", true, 0.5, 0}, TextCase{"1.5", true, 1.5, 2},
                      TextCase{"2.51", true, 2.51, 3}, TextCase{"2.49", true, 2.49, 2},
                      TextCase{"65534.5", true, 65534.5, 65534},
                      TextCase{"65535.5", true, 65535.5, 65536}, TextCase{"2.5e0", true, 2.5, 2},
                      TextCase{"25e-1", true, 2.5, 2}));

// Large octal numbers are rounded like any other: once, to the nearest double.
TEST(NumericValue, LongOctalIsRoundedOnceLikeHex) {
  // 2^60 + 1 needs 61 bits; the nearest double is 2^60.
  EXPECT_EQ(NumericValue("&O100000000000000000001"), 1152921504606846976.0);
  EXPECT_EQ(NumericValue("&O100000000000000000001"), NumericValue("&H1000000000000001"));
  EXPECT_EQ(NumericValue("&O0000017"), 15);
}

struct RoundCase {
  double value;
  std::int32_t whole;
};

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  const std::vector<RoundCase> cases = {
      {0.0, 0},
      {-0.0, 0},
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-0.5, 0},
      {-1.5, -2},
      {-2.5, -2},
      {0.49999999999999994, 0},
      {0.5000000000000001, 1},
      {1e-300, 0},
      {-1e-300, 0},
      {2.4, 2},
      {2.6, 3},
      {-2.6, -3},
  };
  for (const RoundCase& c : cases) {
    EXPECT_EQ(RoundHalfEven(c.value), c.whole) << c.value;
  }
}

TEST(RoundHalfEven, SaturatesAtThe32BitLimits) {
  const std::vector<RoundCase> cases = {
      {2147483646.5, 2147483646},
      {2147483647.0, kMax32},
      {2147483647.4, kMax32},
      {2147483647.5, kMax32},
      {2147483648.0, kMax32},
      {1e300, kMax32},
      {kInf, kMax32},
      {-2147483647.5, -2147483648},
      {-2147483648.0, kMin32},
      {-2147483648.5, kMin32},
      {-2147483649.0, kMin32},
      {-kInf, kMin32},
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {-std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const RoundCase& c : cases) {
    EXPECT_EQ(RoundHalfEven(c.value), c.whole) << c.value;
  }
}

// Every whole number and half in a window agrees with the platform's own
// round-to-nearest-even (the default floating-point rounding mode).
TEST(RoundHalfEven, AgreesWithNearbyintOnQuarterSteps) {
  for (int quarter = -40000; quarter <= 40000; ++quarter) {
    const double value = quarter / 4.0;
    ASSERT_EQ(RoundHalfEven(value), static_cast<std::int32_t>(std::nearbyint(value))) << value;
  }
}

// ---- The grammar, checked against an independent description. ----

// The number test as a regular expression.
const std::regex& NumberGrammar() {
  static const std::regex grammar(
      "[ \\t]*([+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eEdD][+-]?[0-9]+)?"
      "|&[hH][0-9a-fA-F]+|&[oO][0-7]+)[ \\t]*");
  return grammar;
}

// The value: drop every blank, tab and line feed, then read the longest leading
// number with the C library (the tests run in the "C" locale).
double ReferenceValue(const std::string& text) {
  std::string packed;
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') {
      packed += c;
    }
  }
  static const std::regex hex("&[hH]([0-9a-fA-F]*)");
  static const std::regex octal("&[oO]([0-7]*)");
  static const std::regex decimal("[+-]?[0-9]*\\.?[0-9]*([eEdD][+-]?[0-9]+)?");
  std::smatch match;
  const auto flags = std::regex_constants::match_continuous;
  if (std::regex_search(packed, match, hex, flags)) {
    return match[1].length() == 0 ? 0.0 : static_cast<double>(std::stoull(match[1], nullptr, 16));
  }
  if (std::regex_search(packed, match, octal, flags)) {
    return match[1].length() == 0 ? 0.0 : static_cast<double>(std::stoull(match[1], nullptr, 8));
  }
  if (!std::regex_search(packed, match, decimal, flags)) {
    return 0.0;
  }
  std::string number = match[0];
  for (char& c : number) {
    c = (c == 'd' || c == 'D') ? 'e' : c;
  }
  return std::strtod(number.c_str(), nullptr);
}

// Every text of up to four characters over an alphabet that holds each kind
// of character the rules care about.
TEST(NumberGrammar, AgreesWithReferenceOnEveryShortText) {
  const std::string alphabet = " \t\n079.+-eD&Hox,";
  std::vector<std::string> texts = {""};
  std::size_t begin = 0;
  for (int length = 1; length <= 4; ++length) {
    const std::size_t end = texts.size();
    for (std::size_t i = begin; i < end; ++i) {
      for (const char c : alphabet) {
        texts.push_back(texts[i] + c);
      }
    }
    begin = end;
  }
  int numbers = 0;
  for (const std::string& text : texts) {
    const bool expected = std::regex_match(text, NumberGrammar());
    const double value = ReferenceValue(text);
    numbers += expected ? 1 : 0;
    ASSERT_EQ(IsNumber(text), expected) << Shown(text);
    ASSERT_EQ(NumericValue(text), value) << Shown(text);
    ASSERT_EQ(ValueOfText(text), expected ? RoundHalfEven(value) : 0) << Shown(text);
  }
  EXPECT_GT(numbers, 1000);  // the alphabet does reach the number forms
}

// ---- Typed keys, clamping and the five-digit form. ----

TEST(IsDigitKey, OnlyTheTenAsciiDigits) {
  for (char32_t c = U'0'; c <= U'9'; ++c) {
    EXPECT_TRUE(IsDigitKey(c)) << static_cast<std::uint32_t>(c);
  }
  const std::vector<char32_t> others = {U'/',
                                        U':',
                                        U'a',
                                        U'E',
                                        U'.',
                                        U',',
                                        U'-',
                                        U'+',
                                        U' ',
                                        U'&',
                                        0,
                                        3,
                                        8,
                                        13,
                                        22,
                                        24,
                                        27,
                                        U'\x0663' /* Arabic-Indic three */,
                                        U'\xFF10' /* full-width zero */,
                                        U'\xB2' /* superscript two */};
  for (const char32_t c : others) {
    EXPECT_FALSE(IsDigitKey(c)) << static_cast<std::uint32_t>(c);
  }
}

TEST(Clamp, BringsTheValueIntoRangeAndWritesItBack) {
  struct ClampCase {
    std::int32_t value;
    std::int32_t expected;
  };
  const std::vector<ClampCase> cases = {
      {-1, 0},        {0, 0},         {42, 42},        {65535, 65535},
      {65536, 65535}, {70000, 65535}, {kMax32, 65535}, {kMin32, 0},
  };
  for (const ClampCase& c : cases) {
    std::int32_t value = c.value;
    EXPECT_EQ(Clamp(value, 0, 65535), c.expected) << c.value;
    EXPECT_EQ(value, c.expected) << c.value;
  }
}

TEST(FiveDigits, PadsToFiveDigitsWithTheSignInFront) {
  struct FormCase {
    std::int64_t value;
    const char* text;
  };
  const std::vector<FormCase> cases = {
      {0, "00000"},
      {42, "00042"},
      {4250, "04250"},
      {8000, "08000"},
      {50000, "50000"},
      {65535, "65535"},
      {123456, "123456"},
      {-42, "-00042"},
      {-1, "-00001"},
      {-123456, "-123456"},
      {2147483647, "2147483647"},
      {std::numeric_limits<std::int64_t>::max(), "9223372036854775807"},
      {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
  };
  for (const FormCase& c : cases) {
    EXPECT_EQ(FiveDigits(c.value), c.text) << c.value;
  }
}

// The position form the jog window and korimo-cli share.
TEST(PositionText, ThousandthsWithTheGivenDecimalPoint) {
  EXPECT_EQ(PositionText(0), "00.000");
  EXPECT_EQ(PositionText(5), "00.005");
  EXPECT_EQ(PositionText(4250), "04.250");
  EXPECT_EQ(PositionText(65535), "65.535");
  EXPECT_EQ(PositionText(123456), "123.456");  // wider than the form, nothing cut
  EXPECT_EQ(PositionText(-1234), "-01.234");
  EXPECT_EQ(PositionText(12345, ","), "12,345");
}

// The memory editor's entry rule, which the window and korimo-cli share.
TEST(ReadEditorEntry, WholeNumbersBelowTheLimit) {
  struct EntryCase {
    const char* text;
    EditorEntryVerdict verdict;
    std::uint8_t value;
  };
  const std::vector<EntryCase> cases = {
      {"&H20", EditorEntryVerdict::kValid, 32},     {"63", EditorEntryVerdict::kValid, 63},
      {"62.5", EditorEntryVerdict::kValid, 62},     {"63.5", EditorEntryVerdict::kOutOfRange, 0},
      {"64", EditorEntryVerdict::kOutOfRange, 0},   {"-0.1", EditorEntryVerdict::kOutOfRange, 0},
      {"0x20", EditorEntryVerdict::kNotANumber, 0}, {"", EditorEntryVerdict::kNotANumber, 0},
  };
  for (const EntryCase& c : cases) {
    const EditorEntryRead read = ReadEditorEntry(c.text, 64);
    EXPECT_EQ(read.verdict, c.verdict) << c.text;
    EXPECT_EQ(read.value, c.value) << c.text;
  }
  EXPECT_EQ(ReadEditorEntry("255", 256).value, 255);
  EXPECT_EQ(ReadEditorEntry("1E400", 256).verdict, EditorEntryVerdict::kOutOfRange);
}

// The parameter word rule of the window's Set and korimo-cli: the rounded
// whole number decides, at both ends of the range.
TEST(ReadWordEntry, RoundedWholeNumbersFromZeroTo65535) {
  struct WordCase {
    const char* text;
    WordEntryVerdict verdict;
    std::uint16_t value;
  };
  const std::vector<WordCase> cases = {
      {"-0.4", WordEntryVerdict::kValid, 0},        {"-0.5", WordEntryVerdict::kValid, 0},
      {"-0.6", WordEntryVerdict::kOutOfRange, 0},   {"65535.4", WordEntryVerdict::kValid, 65535},
      {"65534.5", WordEntryVerdict::kValid, 65534}, {"65535.5", WordEntryVerdict::kOutOfRange, 0},
      {"&HFFFF", WordEntryVerdict::kValid, 65535},  {"&H10000", WordEntryVerdict::kOutOfRange, 0},
      {" 2.5 ", WordEntryVerdict::kValid, 2},       {"1E400", WordEntryVerdict::kOutOfRange, 0},
      {"0x20", WordEntryVerdict::kNotANumber, 0},   {"-----", WordEntryVerdict::kNotANumber, 0},
  };
  for (const WordCase& c : cases) {
    const WordEntryRead read = ReadWordEntry(c.text);
    EXPECT_EQ(read.verdict, c.verdict) << c.text;
    EXPECT_EQ(read.value, c.value) << c.text;
  }
}

}  // namespace
}  // namespace korimo
