// Text conversions between the system's encodings and the UTF-8 the server works in (from
// UTF-16: calorix::ToUtf8).
#pragma once

#include <string>
#include <string_view>

namespace kalvaro {

std::wstring WideFromUtf8(std::string_view text);
// 8-bit text of the system's code page (what the monitors call ANSI).
std::string Utf8FromAnsi(std::string_view text);

}  // namespace kalvaro
