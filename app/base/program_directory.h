// The running program's folder, where its server, skin and tools lie.
#pragma once

#include <string>
#include <string_view>

namespace calorix {

// The folder part of a module path, ending in a backslash ("C:\a\b.exe" -> "C:\a\").
std::wstring ProgramDirectoryOf(std::wstring_view module_path);

// The running executable's folder, ending in a backslash; empty when it cannot be read.
// Windows build only.
std::wstring GetProgramDirectory();

}  // namespace calorix
