// The hardware-monitor server for the whole run: started by the main window, watched by the
// first-minute rule on timer 300, then kept running on timer 301.
#pragma once

#include <windows.h>

#include "app/temperature/server_watchdog.h"
#include "app/temperature/temperature_block.h"
#include "ui/core/win_handles.h"

namespace calorix {

inline constexpr UINT_PTR TIMER_SERVER_KEEP = 301;

// The periods of every ServerWatch made from now on. Only the end-to-end tests' build of the
// program changes them, before its entry runs.
void SetServerWatchPeriods(const ServerWatchPeriods& periods);

class ServerWatch {
 public:
  ServerWatch();

  // Starts the server, keeping its process so that its end can be seen.
  void StartServer();
  // Starts timer 300 on `window`. After its twelfth tick timer 301 takes over.
  void StartWatching(HWND window);
  // Timers 300 and 301 (`block` is null while not mapped); false for any other id.
  bool OnTimer(HWND window, UINT_PTR id, const TemperatureBlock* block);

 private:
  void Launch(bool restart);
  void Keep(HWND window);

  ServerWatchPeriods periods_;
  ServerWatchdog first_minute_;
  ServerKeeper keeper_;
  Zentu::UniqueKernelHandle process_;  // owned: the copy started last; null if that failed
};

}  // namespace calorix
