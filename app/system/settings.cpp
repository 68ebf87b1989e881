// Registry access for the user settings, never through a registry link.
#include "app/system/settings.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>

#include "app/base/handles.h"
#include "app/base/utf8_text.h"
#include "app/system/log.h"
#include "app/system/setting_text.h"
#include "app/system/user_key.h"

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
// that is a link is refused, and `*link` set. Made when missing and `make`.
UniqueRegKey OpenKeyItself(HKEY parent, const std::wstring& name, REGSAM access, bool make,
                           bool* link) {
  HKEY raw = nullptr;
  access |= KEY_QUERY_VALUE;
  LONG status = ::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, &raw);
  if (status == ERROR_FILE_NOT_FOUND && make) {
    status = ::RegCreateKeyExW(parent, name.c_str(), 0, nullptr,
                               REG_OPTION_NON_VOLATILE | REG_OPTION_OPEN_LINK, access, nullptr,
                               &raw, nullptr);
  }
  UniqueRegKey key(status == ERROR_SUCCESS ? raw : nullptr);
  *link = key && IsRegistryLink(key.get());
  if (*link) key.reset();
  return key;
}

}  // namespace

UniqueRegKey OpenUserKey(std::wstring_view path, REGSAM access, bool make) {
  static std::atomic<bool> told{false};
  UniqueRegKey parent, key;
  for (std::size_t from = 0;;) {
    const std::size_t end = std::min(path.find(L'\\', from), path.size());
    const bool last = end == path.size();
    // Above the last key only what making a key below needs.
    const bool above_made = make && !last && path.find(L'\\', end + 1) == path.npos;
    const REGSAM needs = last ? access : (above_made ? KEY_CREATE_SUB_KEY : 0);
    bool link = false;
    key = OpenKeyItself(parent ? parent.get() : HKEY_CURRENT_USER,
                        std::wstring(path.substr(from, end - from)), needs, last && make, &link);
    if (link && !told.exchange(true)) {
      LogPrint(Warn, "registry: a key on the way to HKCU\\%s is a registry link; not used",
               LogText(path).c_str());
    }
    if (!key || last) return key;
    parent = std::move(key);
    from = end + 1;
  }
}

int ReadSetting(const wchar_t* value_name) {
  const UniqueRegKey key = OpenUserKey(kSettingsKey, KEY_QUERY_VALUE, true);
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
  const UniqueRegKey key = OpenUserKey(kSettingsKey, KEY_SET_VALUE, false);
  if (!key) return;
  const DWORD bytes = static_cast<DWORD>((std::wcslen(value_text) + 1) * sizeof(wchar_t));
  ::RegSetValueExW(key.get(), value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value_text),
                   bytes);
}

}  // namespace calorix
