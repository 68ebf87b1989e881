// Test program run from a prepared folder: starts the hardware-monitor server from there,
// runs the server watchdog on a window of its own, or registers the logon task.
//
//   server_probe start-server                  exit code 10 or 7: the system generation seen
//   server_probe watchdog PERIOD_MS [--published]
//                                              prints "ticks=N", exit code N
//   server_probe startup-task                  exit code of the registration
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/system/startup_task.h"
#include "app/temperature/monitor_server.h"
#include "app/temperature/temperature_mapping.h"

namespace {

constexpr UINT_PTR kTimerEnd = 1;
calorix::TemperatureMapping g_block;  // owned until exit
calorix::ServerWatchdog g_watchdog;
int g_ticks = 0;
UINT g_period_ms = 0;

LRESULT CALLBACK WatchProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER && wparam == calorix::TIMER_SERVER_WATCH) {
    ++g_ticks;
    calorix::ServerWatchdogStep(window, g_block.Block(), g_watchdog);
    // Ten periods more after the last expected tick: any tick then means a live timer.
    if (g_ticks == static_cast<int>(calorix::kServerWatchTicks))
      ::SetTimer(window, kTimerEnd, 10 * g_period_ms, nullptr);
    return 0;
  }
  if (message == WM_TIMER && wparam == kTimerEnd) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

bool WaitForPublished(DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  while (!(g_block.Block() && g_block.Block()->cpu_liveness > 0.0f)) {
    if (::GetTickCount64() > end) return false;
    ::Sleep(20);
  }
  return true;
}

// Starts the server as the main window's initialisation does, then runs the watchdog at
// `period_ms` until ten periods after its twelfth tick.
int RunWatchdog(UINT period_ms, bool wait_published) {
  if (!g_block.EnsureMapped()) return 100;
  calorix::StartMonitorServer();
  if (wait_published && !WaitForPublished(20000)) return 101;
  WNDCLASSW wc{};
  wc.lpfnWndProc = WatchProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"server_probe_watch";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
  g_period_ms = period_ms;
  if (!window || !calorix::StartServerWatchdog(window, period_ms)) return 102;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  ::DestroyWindow(window);
  std::printf("ticks=%d\n", g_ticks);
  return g_ticks;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "start-server") == 0) {
    calorix::StartMonitorServer();
    return calorix::IsWindows10OrLater() ? 10 : 7;
  }
  if (argc >= 3 && std::strcmp(argv[1], "watchdog") == 0) {
    const bool published = argc >= 4 && std::strcmp(argv[3], "--published") == 0;
    return RunWatchdog(static_cast<UINT>(std::atoi(argv[2])), published);
  }
  if (argc >= 2 && std::strcmp(argv[1], "startup-task") == 0) return calorix::CreateStartupTask();
  std::fprintf(stderr,
               "usage: server_probe start-server | watchdog PERIOD_MS [--published] | "
               "startup-task\n");
  return 2;
}
