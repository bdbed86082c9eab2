// Bytes as hexadecimal digits and back, for every text the tool shows or reads.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace korimo {

// The two hexadecimal digits of a byte: 10 gives "0A" (or "0a" in lower case).
inline std::string HexDigits(std::uint8_t byte, bool upper_case = true) {
  char digits[3];
  std::snprintf(digits, sizeof digits, upper_case ? "%02X" : "%02x", static_cast<unsigned>(byte));
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
