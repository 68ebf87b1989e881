// Registry access for the three user settings.
#include "app/system/settings.h"

#include <windows.h>

#include <cwchar>

#include "app/system/setting_text.h"
#include "ui/core/win_handles.h"

namespace calorix {

namespace {

constexpr DWORD kQuerySize = 255;  // bytes asked for; the buffer leaves room for the NUL

void FormatSubkey(wchar_t (&subkey)[MAX_PATH]) {
  std::swprintf(subkey, MAX_PATH, L"SOFTWARE\\%ls", kAppName);
}

}  // namespace

int ReadSetting(const wchar_t* value_name) {
  wchar_t subkey[MAX_PATH];
  FormatSubkey(subkey);
  HKEY raw = nullptr;
  LONG status = ::RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_ALL_ACCESS, &raw);
  if (status == ERROR_FILE_NOT_FOUND) {
    HKEY created = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &created, nullptr) == ERROR_SUCCESS) {
      ::RegCloseKey(created);
    }
    return 0;
  }
  if (status != ERROR_SUCCESS) return 0;
  Zentu::UniqueRegKey key(raw);

  wchar_t buffer[256] = {};  // 512 bytes, zeroed: the text is always terminated
  DWORD type = REG_SZ;
  DWORD size = kQuerySize;
  status = ::RegQueryValueExW(key.get(), value_name, nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer), &size);
  // Another type, or a value too long for the buffer, reads as "not set".
  if (status != ERROR_SUCCESS || type != REG_SZ) return 0;
  return ParseSettingText(buffer);
}

void WriteSetting(const wchar_t* value_name, const wchar_t* value_text) {
  wchar_t subkey[MAX_PATH];
  FormatSubkey(subkey);
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_ALL_ACCESS, &raw) != ERROR_SUCCESS) return;
  Zentu::UniqueRegKey key(raw);
  const DWORD bytes = static_cast<DWORD>((std::wcslen(value_text) + 1) * sizeof(wchar_t));
  ::RegSetValueExW(key.get(), value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value_text),
                   bytes);
}

}  // namespace calorix
