// Reading the update server's base URL and the update key.
#include "app/update/update_config.h"

#include <windows.h>

#include "app/system/log.h"
#include "app/system/settings.h"
#include "app/update/update_plan.h"

#if !defined(CALORIX_UPDATE_BASE_URL) || !defined(CALORIX_UPDATE_PUBLIC_KEY)
#error "CALORIX_UPDATE_BASE_URL and CALORIX_UPDATE_PUBLIC_KEY come from the build"
#endif
#define CALORIX_WIDEN2(text) L##text
#define CALORIX_WIDEN(text) CALORIX_WIDEN2(text)

namespace calorix {
namespace {

// A REG_SZ under HKLM\SOFTWARE\KEM; nothing when it is absent, of another type or too long.
std::optional<std::wstring> MachineValue(const wchar_t* name) {
  wchar_t value[512] = {};
  DWORD size = sizeof value;
  // RRF_RT_REG_SZ: another type, or a value that does not fit, reads as absent.
  const LSTATUS status =
      ::RegGetValueW(HKEY_LOCAL_MACHINE, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, value, &size);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status != ERROR_SUCCESS) value[0] = L'\0';
  return std::wstring(value);
}

std::optional<UpdateKey> ParseWideKey(std::wstring_view text) {
  std::string ascii;
  for (wchar_t c : text) {
    if (c >= 0x80) return std::nullopt;
    ascii.push_back(static_cast<char>(c));
  }
  return ParseUpdateKey(ascii);
}

}  // namespace

std::wstring BuiltInUpdateBaseUrl() { return CALORIX_WIDEN(CALORIX_UPDATE_BASE_URL); }

std::wstring UpdateBaseUrl() {
  const std::optional<std::wstring> value = MachineValue(kUpdateUrlValue);
  if (!value) return BuiltInUpdateBaseUrl();
  if (const char* problem = BaseUrlProblem(*value)) {
    LogPrint(Warn, "update: the update_url override is not used: %s", problem);
    return BuiltInUpdateBaseUrl();
  }
  return *value;
}

std::optional<UpdateKey> ConfiguredUpdateKey() {
  if (const std::optional<std::wstring> value = MachineValue(kUpdateKeyValue)) {
    if (auto key = ParseWideKey(*value)) return key;
    LogPrint(Warn, "update: the update_key override is not a P-256 public key; not used");
  }
  return ParseUpdateKey(CALORIX_UPDATE_PUBLIC_KEY);
}

}  // namespace calorix
