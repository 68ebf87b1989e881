// The user's settings: decimal strings under HKEY_CURRENT_USER\SOFTWARE\KEM.
#pragma once

#include "app/base/product.h"

namespace calorix {

inline constexpr wchar_t kLedSwitch[] = L"led_switch";
inline constexpr wchar_t kDeviceType[] = L"device_type";
inline constexpr wchar_t kTempeType[] = L"tempe_type";

// Never fails towards the caller: anything unreadable is 0. Creates the key when it is
// missing; never changes a stored value. Opens the key for reading only.
int ReadSetting(const wchar_t* value_name);

// Stores `value_text` as REG_SZ with its NUL; never creates the key. Failures are lost.
void WriteSetting(const wchar_t* value_name, const wchar_t* value_text);

// Neither follows a registry link on the way to the key: the key is then not used (reads give
// 0, writes are lost), and the log says so once.

}  // namespace calorix
