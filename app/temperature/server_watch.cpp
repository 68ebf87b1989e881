// Starting and watching the hardware-monitor server for the whole run.
#include "app/temperature/server_watch.h"

#include "app/temperature/monitor_server.h"

namespace calorix {

namespace {

// Constant-initialised, so the tests' build can set it from a static initialiser.
constinit ServerWatchPeriods g_periods{};

ServerKeeper::Ms Now() { return ServerKeeper::Ms(::GetTickCount64()); }

bool StillRuns(const Zentu::UniqueKernelHandle& process) {
  return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace

void SetServerWatchPeriods(const ServerWatchPeriods& periods) { g_periods = periods; }

ServerWatch::ServerWatch()
    : periods_(g_periods), keeper_(ServerKeeper::Ms(periods_.restart_spacing_ms)) {}

void ServerWatch::StartServer() { Launch(false); }

void ServerWatch::StartWatching(HWND window) {
  StartServerWatchdog(window, periods_.first_minute_tick_ms);
}

bool ServerWatch::OnTimer(HWND window, UINT_PTR id, const TemperatureBlock* block) {
  if (id == TIMER_SERVER_WATCH) {
    const bool finished = first_minute_.finished();
    ServerWatchdogStep(window, block, first_minute_, [this] { Launch(false); });
    if (!finished && first_minute_.finished()) {
      ::SetTimer(window, TIMER_SERVER_KEEP, periods_.check_ms, nullptr);
    }
    return true;
  }
  if (id == TIMER_SERVER_KEEP) {
    Keep(window);
    return true;
  }
  return false;
}

void ServerWatch::Launch(bool restart) {
  std::erase_if(started_, [](const Zentu::UniqueKernelHandle& p) { return !StillRuns(p); });
  Zentu::UniqueKernelHandle process = LaunchMonitorServer();
  last_start_failed_ = !process;
  keeper_.Started(Now(), static_cast<bool>(process), restart);
  if (process) started_.push_back(std::move(process));
}

void ServerWatch::EndStartedCopies() {
  for (const Zentu::UniqueKernelHandle& process : started_)
    if (StillRuns(process)) ::TerminateProcess(process.get(), 0);
  started_.clear();
}

void ServerWatch::Keep(HWND window) {
  const bool ours = !last_start_failed_ && !started_.empty() && StillRuns(started_.back());
  // Asked only once ours has ended. A process list that cannot be read counts as a running
  // copy: better no restart than a second copy.
  const auto any = [] {
    const auto found = FindProcessesByName(kMonitorServerExe, 1);
    return !found || !found->empty();
  };
  if (keeper_.Check(Now(), ours, any)) Launch(true);
  if (keeper_.gave_up()) ::KillTimer(window, TIMER_SERVER_KEEP);
}

}  // namespace calorix
