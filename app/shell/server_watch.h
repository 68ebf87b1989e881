// The hardware-monitor server for the whole run: started by the main window, watched by the
// first-minute rule on timer 300, then kept running by waiting for the end of our copy.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "app/base/handles.h"
#include "app/temperature/server_watchdog.h"
#include "app/temperature/temperature_block.h"
#include "ui/core/mwindow.h"

namespace calorix {

// The next look while no copy of ours runs: one restart slot away, fired once.
inline constexpr UINT_PTR TIMER_SERVER_KEEP = 301;
// Posted to the watch's window when a copy of the server that it started has ended.
inline constexpr UINT WM_SERVER_ENDED = 0x069F;

// The periods of every ServerWatch made from now on. Only the end-to-end tests' build of the
// program changes them, before its entry runs.
void SetServerWatchPeriods(const ServerWatchPeriods& periods);

// Costs nothing while our copy runs: the window's message loop waits on its process handle
// as well, and WM_SERVER_ENDED is posted when it ends. While none of ours runs, it looks once
// per restart slot.
class ServerWatch {
 public:
  ServerWatch();

  // `window` hears of the ends of our copies and carries timers 300 and 301; `on_start` is
  // called after each copy this watch starts (a reading may follow soon). Before StartServer.
  void Attach(HWND window, std::function<void()> on_start);
  // Starts the server, keeping its process so that its end can be heard of.
  void StartServer();
  // Starts timer 300. After its twelfth tick, the watch keeps the server running.
  void StartWatching();
  // Timers 300 and 301 (`block` is null while not mapped); false for any other id.
  bool OnTimer(UINT_PTR id, const TemperatureBlock* block);
  // WM_SERVER_ENDED.
  void OnCopyEnded();
  // Terminates every copy this watch started that still runs, through its process handle.
  // A copy the user started is left alone, whatever its name.
  void EndStartedCopies();

 private:
  // The message loop's wait for a process's end (MWindow::PostWhenSignalled).
  struct EndWaitTraits {
    using type = HANDLE;
    static type invalid() { return nullptr; }
    void close(type process) const { Zentu::MWindow::StopWaitingFor(process); }
  };
  struct Copy {
    UniqueKernelHandle process;  // owned
    // Declared after the process: withdrawn before its handle is closed. Null when the loop
    // waits for too many handles; then the copy is looked at once per slot instead.
    UniqueHandle<EndWaitTraits> end_wait;
  };

  void Launch(bool restart);
  void Keep();
  bool ForgetEndedCopies();
  void ScheduleLook();

  HWND window_ = nullptr;
  std::function<void()> on_start_;
  ServerWatchPeriods periods_;
  ServerWatchdog first_minute_;
  ServerKeeper keeper_;
  // The copies started and not yet known to have ended, the last one started at the back.
  // The first minute's rule may start a copy while an earlier one still runs.
  std::vector<Copy> started_;
};

}  // namespace calorix
