// Bytes as hexadecimal digits and back, for every text the tool shows or reads.
#pragma once

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korimo {

// The two hexadecimal digits of a byte: 10 gives "0A" (or "0a" in lower case).
inline std::string HexDigits(std::uint8_t byte, bool upper_case = true) {
  std::string digits(2, '0');
  std::to_chars(digits.data() + (byte < 0x10 ? 1 : 0), digits.data() + 2, byte, 16);
  if (upper_case) {
    std::transform(digits.begin(), digits.end(), digits.begin(),
                   [](char c) { return static_cast<char>(std::toupper(c)); });
  }
  return digits;
}

// The byte that the two hexadecimal digits (either case) at the start of `text` spell.
inline std::optional<std::uint8_t> HexByteAt(std::string_view text) {
  std::uint8_t byte = 0;
  const char* const end = text.data() + std::min<std::size_t>(text.size(), 2);
  const auto [stop, error] = std::from_chars(text.data(), end, byte, 16);
  if (error != std::errc{} || stop != text.data() + 2) {
    return std::nullopt;
  }
  return byte;
}

}  // namespace korimo
