// Registry access for the three user settings.
#include "app/system/settings.h"

#include <windows.h>

#include <atomic>
#include <cwchar>

#include "app/system/log.h"
#include "app/system/setting_text.h"
#include "ui/core/win_handles.h"

namespace calorix {

namespace {

constexpr DWORD kQuerySize = 255;  // bytes asked for; the buffer leaves room for the NUL

// A registry link is a key holding this value, of type REG_LINK; opened as itself, the key
// shows it.
bool IsRegistryLink(HKEY key) {
  DWORD type = REG_NONE;
  return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         type == REG_LINK;
}

// `name` under `parent` with `access` (and what the link check needs), opened as itself: a key
// that is a link is refused, and said once in the log. Made when missing and `make`.
Zentu::UniqueRegKey OpenKeyItself(HKEY parent, const wchar_t* name, REGSAM access, bool make) {
  static std::atomic<bool> told{false};
  HKEY raw = nullptr;
  access |= KEY_QUERY_VALUE;
  LONG status = ::RegOpenKeyExW(parent, name, REG_OPTION_OPEN_LINK, access, &raw);
  if (status == ERROR_FILE_NOT_FOUND && make) {
    status =
        ::RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK,
                          access, nullptr, &raw, nullptr);
  }
  Zentu::UniqueRegKey key(status == ERROR_SUCCESS ? raw : nullptr);
  if (key && IsRegistryLink(key.get())) {
    if (!told.exchange(true))
      LogPrint(Warn,
               "settings: a key on the way to HKCU\\SOFTWARE\\KEM is a registry link; not used");
    key.reset();
  }
  return key;
}

// HKEY_CURRENT_USER\SOFTWARE\KEM with `access`. The elevated program neither writes nor makes
// keys through a link the user put there: it could lead to any key the program may write.
Zentu::UniqueRegKey OpenSettingsKey(REGSAM access, bool make) {
  const Zentu::UniqueRegKey software =
      OpenKeyItself(HKEY_CURRENT_USER, L"SOFTWARE", make ? KEY_CREATE_SUB_KEY : 0, false);
  if (!software) return {};
  return OpenKeyItself(software.get(), kAppName, access, make);
}

}  // namespace

int ReadSetting(const wchar_t* value_name) {
  const Zentu::UniqueRegKey key = OpenSettingsKey(KEY_QUERY_VALUE, true);
  if (!key) return 0;
  wchar_t buffer[256] = {};  // 512 bytes, zeroed: the text is always terminated
  DWORD type = REG_SZ;
  DWORD size = kQuerySize;
  const LONG status = ::RegQueryValueExW(key.get(), value_name, nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer), &size);
  // Another type, or a value too long for the buffer, reads as "not set".
  if (status != ERROR_SUCCESS || type != REG_SZ) return 0;
  return ParseSettingText(buffer);
}

void WriteSetting(const wchar_t* value_name, const wchar_t* value_text) {
  const Zentu::UniqueRegKey key = OpenSettingsKey(KEY_SET_VALUE, false);
  if (!key) return;
  const DWORD bytes = static_cast<DWORD>((std::wcslen(value_text) + 1) * sizeof(wchar_t));
  ::RegSetValueExW(key.get(), value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value_text),
                   bytes);
}

}  // namespace calorix
