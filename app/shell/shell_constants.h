// The tray program's product constants and the numbers of its messages, commands and timers.
#pragma once

#include "app/base/product.h"

namespace calorix {

inline constexpr wchar_t kWindowTitle[] = L"DIGITAL";

inline constexpr unsigned WM_TRAY_NOTIFY = 0x069A;
// Posted by the worker when a report shows another source than the one before; the word
// parameter is the ReadingSource now shown (0 CPU, 1 adapter).
inline constexpr unsigned WM_READING_SOURCE = 0x069E;

// Window commands (the whole word parameter of WM_COMMAND).
inline constexpr unsigned kCommandExit = 100;
inline constexpr unsigned kCommandCheckFirmware = 101;
inline constexpr unsigned kCommandCheckSoftware = 102;
inline constexpr unsigned kCommandDeviceCount = 202;
inline constexpr unsigned kCommandVersion = 203;
inline constexpr unsigned kCommandShowGpu = 204;  // "Show GPU temperature": toggles it

inline constexpr unsigned TIMER_TRAY_READD = 200;
inline constexpr unsigned kTrayReAddMs = 10000;

inline constexpr unsigned kProgramIconId = 107;

}  // namespace calorix
