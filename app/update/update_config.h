// Where the update server is and which key its releases are signed with: build-time
// defaults and per-machine overrides.
#pragma once

#include <optional>
#include <string>

#include "app/update/signature_format.h"

namespace calorix {

// The overrides: HKEY_LOCAL_MACHINE\SOFTWARE\KEM, string values "update_url" and
// "update_key" (under WOW6432Node on 64-bit Windows). Machine-wide on purpose: the program
// runs elevated and starts what it downloads, so a place that every unelevated process of the
// user can write must not choose the server or the key.
inline constexpr wchar_t kUpdateUrlValue[] = L"update_url";
inline constexpr wchar_t kUpdateKeyValue[] = L"update_key";

// The override when it is a usable base URL (see IsUsableBaseUrl), else the built-in one
// (CMake cache entry CALORIX_UPDATE_BASE_URL, https).
std::wstring UpdateBaseUrl();
std::wstring BuiltInUpdateBaseUrl();

// The public key releases are signed with: the override when it holds one (see
// ParseUpdateKey), else the one built in from the file the CMake cache entry
// CALORIX_UPDATE_PUBLIC_KEY names. Nothing when neither holds a key: updates are then
// announced but never started.
std::optional<UpdateKey> ConfiguredUpdateKey();

}  // namespace calorix
