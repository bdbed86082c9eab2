#include "cli/entries.h"

#include <array>
#include <cstdio>

#include "config/numeric.h"
#include "config/service_texts.h"
#include "device/hex.h"

namespace korimo::cli {
namespace {

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

// `text` in quotes, escaped; a text longer than `head` + `tail` keeps only
// its first `head` and last `tail` bytes, with "..." between them.
std::string Quoted(std::string_view text, std::size_t head, std::size_t tail) {
  std::string echoed = "\"";
  if (text.size() <= head + tail) {
    AppendEscaped(echoed, text);
  } else {
    AppendEscaped(echoed, text.substr(0, head));
    echoed += "...";
    AppendEscaped(echoed, text.substr(text.size() - tail));
  }
  return echoed + '"';
}

}  // namespace

std::optional<std::uint8_t> EditorEntry(std::string_view text, int limit, std::string_view what,
                                        std::ostream& err) {
  const EditorEntryRead entry = ReadEditorEntry(text, limit);
  if (entry.verdict == EditorEntryVerdict::kNotANumber) {
    err << Echo(text) << " is not a number (write hexadecimal as &H20, not 0x20).\n";
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
  return Quoted(text, 32, 0);
}

std::string EchoPath(std::string_view text) {
  return Quoted(text, 96, 160);
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

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    lines.push_back(line);
    if (end == std::string_view::npos) {
      break;
    }
    text.remove_prefix(end + 1);
  }
  return lines;
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
