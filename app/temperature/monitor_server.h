// Starting, watching and ending the hardware-monitor server process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/base/handles.h"
#include "app/base/program_directory.h"
#include "app/temperature/process_list.h"
#include "app/temperature/server_paths.h"
#include "app/temperature/server_watchdog.h"
#include "app/temperature/temperature_block.h"

namespace calorix {

inline constexpr UINT_PTR TIMER_SERVER_WATCH = kTimerServerWatch;

// Major version 10 or more by RtlGetNtVersionNumbers of "ntdll.dll"; false when it cannot
// be read, after one line on the standard error stream.
bool IsWindows10OrLater();
// The same check against any library and export; failures are written to `errors`.
bool IsWindows10OrLaterFrom(const wchar_t* library, const char* function, std::FILE* errors);

// Starts the server build for this system, without waiting for it. Failures are ignored.
void StartMonitorServer();
// The same start; returns the server's process, or null when it could not be started.
UniqueKernelHandle LaunchMonitorServer();

// Terminates the first running process whose executable name equals `name` (any case).
// False only when the process list cannot be read.
bool TerminateProcessByName(const wchar_t* name);

// The watchdog timer: TIMER_SERVER_WATCH on `window`, every `period_ms`.
bool StartServerWatchdog(HWND window, UINT period_ms = kServerWatchPeriodMs);
// One tick of TIMER_SERVER_WATCH, counted by `watchdog`: starts the server while `block` (null
// when not mapped) shows nothing published, and kills the timer after the twelfth tick.
void ServerWatchdogStep(HWND window, const TemperatureBlock* block, ServerWatchdog& watchdog,
                        const std::function<void()>& start_server = StartMonitorServer);

}  // namespace calorix
