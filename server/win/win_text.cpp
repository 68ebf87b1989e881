// The system's conversions.
#include "server/win/win_text.h"

#include <windows.h>

#include "app/base/utf8_text.h"

namespace kalvaro {

namespace {

std::wstring Wide(UINT code_page, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), size, out.data(), n);
  return out;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) { return Wide(CP_UTF8, text); }

std::string Utf8FromAnsi(std::string_view text) {
  // Monitors' English names are ASCII, the same in every code page and in UTF-8: this runs for
  // every reading once a second, so the system's conversion is kept for the rest.
  for (unsigned char c : text) {
    if (c >= 0x80) return calorix::ToUtf8(Wide(CP_ACP, text));
  }
  return std::string(text);
}

}  // namespace kalvaro
