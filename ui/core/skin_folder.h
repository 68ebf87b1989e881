// The skin-folder rule as plain string arithmetic on the executable's path.
#pragma once

#include "ui/core/cstring.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

inline constexpr const wchar_t* kSkinRootFolder = L"skins\\";
inline constexpr const wchar_t* kThemeFolder = L"theme1\\";

// Directory of `exe_path` (up to and including its last '\' or '/'; empty when it has none),
// then "skins\" and the theme folder.
ZENTU_API CString SkinFolderFromExePath(const wchar_t* exe_path);

}  // namespace Zentu
