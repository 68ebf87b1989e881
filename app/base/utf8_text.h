// UTF-16 and UTF-8, and paths made safe for a log line.
#pragma once

#include <string>
#include <string_view>

namespace calorix {

std::string ToUtf8(std::wstring_view text);
// Up to the first NUL.
std::wstring FromUtf8(std::string_view text);
// UTF-8 for a log line, control characters replaced: they would break the line.
std::string LogText(std::wstring_view text);

}  // namespace calorix
