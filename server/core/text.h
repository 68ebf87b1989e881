// Text the monitors publish: numbers in any locale, 8-bit and UTF-16 names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kalvaro {

// A decimal number with a point or, failing that, a single comma as its separator ("41,0"),
// an optional sign and surrounding blanks; nothing else. Not finite values are refused.
std::optional<double> ParseDecimal(std::string_view text);

// The number a formatted value starts with and its unit: "41,0 °C", "105.8 °F". Celsius;
// nothing when it is not a temperature (no degree unit) or not a number ("-").
std::optional<double> ParseDegrees(std::string_view text);
// The unit of such a value: 'C', 'F', or 0 when it is not a temperature.
char DegreeUnitOf(std::string_view text);

// Turns 8-bit text of the system's code page into UTF-8. The Windows side passes the system's
// own conversion; the default reads the bytes as Latin-1.
using AnsiDecoder = std::string (*)(std::string_view);
std::string Latin1ToUtf8(std::string_view text);

// Appends code point `c` as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t c);

// UTF-16LE code units (`units` of them at `data`, up to the first NUL) as UTF-8; a lone
// surrogate becomes U+FFFD.
std::string Utf16LeToUtf8(const std::uint8_t* data, std::size_t units);

// Cuts `text` to at most `bytes` bytes without splitting a UTF-8 sequence.
std::string_view CutUtf8(std::string_view text, std::size_t bytes);

bool StartsWith(std::string_view text, std::string_view prefix);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::string_view Trim(std::string_view text);

// A 64-bit hash of a text, for monitors whose heartbeat is a text (AIDA64's time).
std::uint64_t TextStamp(std::string_view text);

}  // namespace kalvaro
