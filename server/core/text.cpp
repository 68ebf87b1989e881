// Locale-free number parsing and the text conversions the monitors' names need.
#include "server/core/text.h"

#include <charconv>
#include <cmath>

#include "server/core/reading.h"

namespace kalvaro {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

}  // namespace

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

namespace {

// The unit behind a number: "°C" or "°F" with the degree sign in UTF-8 or Latin-1, or the
// letter alone. 'C', 'F' or 0 for anything else.
char DegreeUnit(std::string_view unit) {
  unit = Trim(unit);
  if (unit.empty()) return 0;
  const char letter = unit.back();
  if (letter != 'C' && letter != 'F') return 0;
  unit.remove_suffix(1);
  if (unit.empty() || unit == "\xB0" || unit == "\xC2\xB0") return letter;
  return 0;
}

}  // namespace

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<double> ParseDecimal(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.size() > 64) return std::nullopt;
  char buffer[65];
  const bool has_point = text.find('.') != std::string_view::npos;
  int commas = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == ',' && !has_point && ++commas == 1) c = '.';
    buffer[i] = c;
  }
  // from_chars takes only digits, a sign, a point and an exponent: a second comma, a
  // thousands separator or text such as "TRIAL" stops it before the end.
  double value = 0;
  const auto [end, error] = std::from_chars(buffer, buffer + text.size(), value);
  if (error != std::errc() || end != buffer + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

char DegreeUnitOf(std::string_view text) {
  text = Trim(text);
  const auto number_end = text.find_first_not_of("+-0123456789.,");
  return number_end == std::string_view::npos ? 0 : DegreeUnit(text.substr(number_end));
}

std::optional<double> ParseDegrees(std::string_view text) {
  text = Trim(text);
  const char unit = DegreeUnitOf(text);
  const std::optional<double> value =
      ParseDecimal(text.substr(0, text.find_first_not_of("+-0123456789.,")));
  if (!unit || !value) return std::nullopt;
  return unit == 'F' ? FahrenheitToCelsius(*value) : *value;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) AppendUtf8(out, c);
  return out;
}

std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t units) {
  std::string out;
  auto unit = [data](std::size_t i) -> std::uint32_t { return data[2 * i] | data[2 * i + 1] << 8; };
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t c = unit(i);
    if (c == 0) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(++i) - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string_view CutUtf8(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  std::size_t end = bytes;
  // Back off continuation bytes so that the cut lands before a sequence's lead byte.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::uint64_t TextStamp(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
  for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

}  // namespace kalvaro
