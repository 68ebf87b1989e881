// Reading the update server's base URL.
#include "app/update/update_config.h"

#include <windows.h>

#include "app/system/log.h"
#include "app/system/settings.h"
#include "app/update/update_plan.h"

#ifndef CALORIX_UPDATE_BASE_URL
#error "CALORIX_UPDATE_BASE_URL comes from the build"
#endif
#define CALORIX_WIDEN2(text) L##text
#define CALORIX_WIDEN(text) CALORIX_WIDEN2(text)

namespace calorix {

std::wstring BuiltInUpdateBaseUrl() { return CALORIX_WIDEN(CALORIX_UPDATE_BASE_URL); }

std::wstring UpdateBaseUrl() {
  const std::wstring key = std::wstring(L"SOFTWARE\\") + kAppName;
  wchar_t value[256] = {};
  DWORD size = sizeof value;
  // RRF_RT_REG_SZ: another type, or a value that does not fit, reads as absent.
  const LSTATUS status = ::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), kUpdateUrlValue,
                                        RRF_RT_REG_SZ, nullptr, value, &size);
  if (status == ERROR_SUCCESS && IsUsableBaseUrl(value)) return value;
  if (status == ERROR_SUCCESS) LogPrint(Warn, "update: the update_url override is not usable");
  return BuiltInUpdateBaseUrl();
}

}  // namespace calorix
