// Keys of HKEY_CURRENT_USER, opened the way an elevated program of the system may: never
// through a registry link the user made, and with no more access than the caller needs.
#pragma once

#include <windows.h>

#include <string_view>

#include "app/base/handles.h"

namespace calorix {

// `path` (key names split at backslashes) under HKEY_CURRENT_USER with `access` (and the value
// query the link check needs), each key on the way opened as itself: null when one is a
// registry link, which the log says once, or when the key cannot be opened. The last key is
// made when missing and `make`; the keys above it never are.
UniqueRegKey OpenUserKey(std::wstring_view path, REGSAM access, bool make = false);

}  // namespace calorix
