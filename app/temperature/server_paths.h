// Where the hardware-monitor server lives below the program folder, and how it is started.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/base/program_directory.h"

namespace calorix {

inline constexpr wchar_t kMonitorServerExe[] = L"Kalvaro.exe";
// The program folder ends in a backslash, so the formatted path holds a doubled separator;
// the system accepts it.
inline constexpr wchar_t kWindows10ServerFormat[] = L"%s\\HardwareMonitor\\Kalvaro.exe";
inline constexpr wchar_t kWindows7ServerFormat[] = L"%s\\HardwareMonitorWin7\\Kalvaro.exe";

// Standard-error lines of the version check, in code page 936.
inline constexpr char kNtdllLoadFailedLine[] =
    "\xCE\xDE\xB7\xA8\xBC\xD3\xD4\xD8 ntdll.dll\n";  // 无法加载 ntdll.dll
inline constexpr char kVersionFunctionMissingLine[] =
    "\xCE\xDE\xB7\xA8\xBB\xF1\xC8\xA1 RtlGetNtVersionNumbers "
    "\xBA\xAF\xCA\xFD\xB5\xC4\xB5\xD8\xD6\xB7\n";  // 无法获取 RtlGetNtVersionNumbers 函数的地址

// The server's path for the system generation, formatted with the program directory.
std::wstring MonitorServerPath(std::wstring_view program_directory, bool windows10_or_later);

// A command line that names exactly `path` even when it contains spaces: unquoted, the
// system would try "C:\dir" (as "C:\dir.exe") before "C:\dir with spaces\...".
std::wstring QuotedCommandLine(std::wstring_view path);

// The major version as RtlGetNtVersionNumbers reports it, compared unsigned.
inline bool IsWindows10Major(std::uint32_t major) { return major >= 10; }

}  // namespace calorix
