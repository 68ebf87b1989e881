// Finding running processes by their executable's name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace calorix {

// Ids of the running processes whose executable name equals `name` (any case), in the
// system's list order, at most `limit`; nothing when the process list cannot be read.
std::optional<std::vector<DWORD>> FindProcessesByName(const wchar_t* name,
                                                      std::size_t limit = SIZE_MAX);

}  // namespace calorix
