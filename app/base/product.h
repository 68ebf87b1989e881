// The product's names every program and layer shares: the application name, the version and
// the registry key under which the settings live.
#pragma once

namespace calorix {

// The mutex, the main window's property, the tray tip, the task and the work folder's name.
inline constexpr wchar_t kAppName[] = L"KEM";
inline constexpr wchar_t kProgramVersion[] = L"1.0.0.9";
// Below HKEY_CURRENT_USER for the user's settings, below HKEY_LOCAL_MACHINE for the update's.
inline constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\KEM";

}  // namespace calorix
