// The hardware-monitor server for the whole run: started by the main window, watched by the
// first-minute rule on timer 300, then kept running on timer 301.
#pragma once

#include <windows.h>

#include <vector>

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
  // Terminates every copy this watch started that still runs, through its process handle.
  // A copy the user started is left alone, whatever its name.
  void EndStartedCopies();

 private:
  void Launch(bool restart);
  void Keep(HWND window);

  ServerWatchPeriods periods_;
  ServerWatchdog first_minute_;
  ServerKeeper keeper_;
  // Owned: the copies started and not yet seen ended, the last one started at the back. The
  // first minute's rule may start a copy while an earlier one still runs.
  std::vector<Zentu::UniqueKernelHandle> started_;
  bool last_start_failed_ = false;
};

}  // namespace calorix
