// Conversions through the system's code page functions.
#include "app/base/utf8_text.h"

#include <windows.h>

namespace calorix {

std::string ToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int bytes =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::string LogText(std::wstring_view text) {
  std::string utf8 = ToUtf8(text);
  for (char& c : utf8)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  return utf8;
}

std::wstring FromUtf8(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int chars = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), chars);
  return out;
}

}  // namespace calorix
