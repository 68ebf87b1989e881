// Reading the server's settings from the tray program's key.
#include "server/win/stored_settings.h"

#include <windows.h>

#include "app/base/handles.h"
#include "app/base/utf8_text.h"
#include "app/system/settings.h"
#include "app/system/user_key.h"

namespace kalvaro {

namespace {

// A value longer than this is no setting of ours; it reads as a bad one.
constexpr DWORD kMaxBytes = 1024;

StoredValue Read(HKEY key, const wchar_t* name) {
  StoredValue v;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return v;
  if (type != REG_SZ || size > kMaxBytes) {
    v.kind = StoredValue::Kind::kOtherType;
    return v;
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
      ERROR_SUCCESS) {
    return v;  // gone meanwhile
  }
  // Stored with or without its NUL, or with more after it.
  std::wstring_view stored(text.data(), size / sizeof(wchar_t));
  v.kind = StoredValue::Kind::kString;
  v.text = calorix::ToUtf8(stored.substr(0, stored.find(L'\0')));
  return v;
}

}  // namespace

StoredSettings ReadStoredSettings() {
  const calorix::UniqueRegKey key = calorix::OpenUserKey(calorix::kSettingsKey, KEY_QUERY_VALUE);
  if (!key) return {};
  return {Read(key.get(), kSensorSource), Read(key.get(), kSensorCpuLabel),
          Read(key.get(), kSensorLhmPort)};
}

}  // namespace kalvaro
