// The running executable's full path, as the system gives it; header-only, so that the
// library reads it the same way without linking the program's layers.
#pragma once

#include <windows.h>

#include <string>

namespace calorix {

// Empty when it cannot be read. GetModuleFileName cuts a path longer than its buffer
// silently (ERROR_INSUFFICIENT_BUFFER on newer systems, nothing on XP-era ones): the buffer
// grows until the whole path fits.
inline std::wstring ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size() || buffer.size() >= 32768) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace calorix
