// Where the update server is: a build-time default and a per-machine override.
#pragma once

#include <string>

namespace calorix {

// The override: HKEY_LOCAL_MACHINE\SOFTWARE\KEM, string value "update_url" (under
// WOW6432Node on 64-bit Windows). Machine-wide on purpose: the program runs elevated and
// starts what it downloads, so a place that every unelevated process of the user can write
// must not choose the server.
inline constexpr wchar_t kUpdateUrlValue[] = L"update_url";

// The override when it is a usable base URL (see IsUsableBaseUrl), else the built-in one
// (CMake cache entry CALORIX_UPDATE_BASE_URL, https).
std::wstring UpdateBaseUrl();
std::wstring BuiltInUpdateBaseUrl();

}  // namespace calorix
