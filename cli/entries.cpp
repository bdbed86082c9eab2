#include "cli/entries.h"

#include <array>
#include <cstdio>

#include "config/numeric.h"
#include "config/service_texts.h"
#include "device/hex.h"

namespace korimo::cli {
namespace {

// A day is far beyond any wait of the controller.
void NotANumber(std::string_view text, std::ostream& err) {
  err << Echo(text) << " is not a number (write hexadecimal as &H20, not 0x20).\n";
}

// Control characters, bytes above 0x7E, the backslash and the quote as \xNN.
void AppendEscaped(std::string& echoed, std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || c == '\\' || c == '"') {
      echoed += "\\x" + HexDigits(byte);
    } else {
      echoed += c;
    }
  }
}

}  // namespace

std::optional<std::uint8_t> EditorEntry(std::string_view text, int limit, std::string_view what,
                                        std::ostream& err) {
  const EditorEntryRead entry = ReadEditorEntry(text, limit);
  if (entry.verdict == EditorEntryVerdict::kNotANumber) {
    NotANumber(text, err);
    return std::nullopt;
  }
  if (entry.verdict == EditorEntryVerdict::kOutOfRange) {
    err << kInvalidValue << ": the " << what << " must be a whole number from 0 to " << limit - 1
        << " (" << Echo(text) << " given).\n";
    return std::nullopt;
  }
  return entry.value;
}

bool IsWordEntry(std::string_view text, std::string_view option, std::ostream& err) {
  // The window's rule, except that text which is no number is refused here
  // rather than taken as 0.
  if (ReadWordEntry(text).verdict != WordEntryVerdict::kValid) {
    err << option << ": " << Echo(text) << " is not a whole number from 0 to 65535.\n";
    return false;
  }
  return true;
}

std::string Echo(std::string_view text) {
  constexpr std::size_t kLongest = 32;
  std::string echoed = "\"";
  AppendEscaped(echoed, text.substr(0, kLongest));
  if (text.size() > kLongest) {
    echoed += "...";
  }
  return echoed + '"';
}

std::string EchoPath(std::string_view text) {
  constexpr std::size_t kHead = 96;
  constexpr std::size_t kTail = 160;
  std::string echoed = "\"";
  if (text.size() <= kHead + kTail) {
    AppendEscaped(echoed, text);
  } else {
    AppendEscaped(echoed, text.substr(0, kHead));
    echoed += "...";
    AppendEscaped(echoed, text.substr(text.size() - kTail));
  }
  return echoed + '"';
}

std::optional<double> TimeoutSeconds(std::string_view text) {
  if (!IsNumber(text)) {
    return std::nullopt;
  }
  const double seconds = NumericValue(text);
  if (!(seconds > 0) || seconds > kLongestTimeout) {
    return std::nullopt;
  }
  return seconds;
}

std::string JsonText(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      json += "\\u00" + HexDigits(byte, false);
    } else {
      json += c;
    }
  }
  return json + '"';
}

}  // namespace korimo::cli
