// The hardware-monitor server process: version check, start, watchdog and termination.
#include "app/temperature/monitor_server.h"

#include <vector>

namespace calorix {

bool IsWindows10OrLaterFrom(const wchar_t* library, const char* function, std::FILE* errors) {
  UniqueModule ntdll(::LoadLibraryW(library));
  if (!ntdll) {
    std::fputs(kNtdllLoadFailedLine, errors);
    return false;
  }
  using VersionNumbers = void(WINAPI*)(DWORD*, DWORD*, DWORD*);
  // Through void(*)() so the cast between function types is explicit, not a warning.
  const auto get_version = reinterpret_cast<VersionNumbers>(
      reinterpret_cast<void (*)()>(::GetProcAddress(ntdll.get(), function)));
  if (!get_version) {
    std::fputs(kVersionFunctionMissingLine, errors);
    return false;
  }
  DWORD major = 0, minor = 0, build = 0;
  get_version(&major, &minor, &build);
  return IsWindows10Major(major);
}

bool IsWindows10OrLater() {
  return IsWindows10OrLaterFrom(L"ntdll.dll", "RtlGetNtVersionNumbers", stderr);
}

UniqueKernelHandle LaunchMonitorServer() {
  const std::wstring path = MonitorServerPath(GetProgramDirectory(), IsWindows10OrLater());
  // The path is both the application name and, quoted, the command line: an unquoted line
  // with spaces in the folder could start "C:\dir.exe" instead of "C:\dir with spaces\...".
  std::wstring command_line = QuotedCommandLine(path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    return UniqueKernelHandle();
  }
  ::CloseHandle(process.hThread);
  return UniqueKernelHandle(process.hProcess);
}

void StartMonitorServer() { LaunchMonitorServer(); }

bool TerminateProcessByName(const wchar_t* name) {
  const auto found = FindProcessesByName(name, 1);
  if (!found) return false;
  if (!found->empty()) {
    UniqueKernelHandle process(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, found->front()));
    if (process) ::TerminateProcess(process.get(), 0);
  }
  return true;
}

bool StartServerWatchdog(HWND window, UINT period_ms) {
  return ::SetTimer(window, TIMER_SERVER_WATCH, period_ms, nullptr) != 0;
}

void ServerWatchdogStep(HWND window, const TemperatureBlock* block, ServerWatchdog& watchdog,
                        const std::function<void()>& start_server) {
  const ServerWatchdog::Step step = watchdog.Tick(block);
  if (step.start_server) start_server();
  if (step.kill_timer) ::KillTimer(window, TIMER_SERVER_WATCH);
}

}  // namespace calorix
