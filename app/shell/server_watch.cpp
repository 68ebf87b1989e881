// Starting and watching the hardware-monitor server for the whole run.
#include "app/shell/server_watch.h"

#include <algorithm>

#include "app/temperature/monitor_server.h"

namespace calorix {

namespace {

// Constant-initialised, so the tests' build can set it from a static initialiser.
constinit ServerWatchPeriods g_periods{};

ServerKeeper::Ms Now() { return ServerKeeper::Ms(::GetTickCount64()); }

bool StillRuns(const UniqueKernelHandle& process) {
  return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace

void SetServerWatchPeriods(const ServerWatchPeriods& periods) { g_periods = periods; }

ServerWatch::ServerWatch()
    : periods_(g_periods), keeper_(ServerKeeper::Ms(periods_.restart_spacing_ms)) {}

void ServerWatch::Attach(HWND window, std::function<void()> on_start) {
  window_ = window;
  on_start_ = std::move(on_start);
}

void ServerWatch::StartServer() { Launch(false); }

void ServerWatch::StartWatching() { StartServerWatchdog(window_, periods_.first_minute_tick_ms); }

bool ServerWatch::OnTimer(UINT_PTR id, const TemperatureBlock* block) {
  if (id == TIMER_SERVER_WATCH) {
    const bool finished = first_minute_.finished();
    ServerWatchdogStep(window_, block, first_minute_, [this] { Launch(false); });
    if (!finished && first_minute_.finished()) Keep();
    return true;
  }
  if (id == TIMER_SERVER_KEEP) {
    Keep();
    return true;
  }
  return false;
}

void ServerWatch::OnCopyEnded() { Keep(); }

void ServerWatch::Launch(bool restart) {
  UniqueKernelHandle process = LaunchMonitorServer();
  keeper_.Started(Now(), static_cast<bool>(process), restart);
  if (!process) return;
  Copy copy{std::move(process), {}};
  if (Zentu::MWindow::PostWhenSignalled(copy.process.get(), window_, WM_SERVER_ENDED)) {
    copy.end_wait.reset(copy.process.get());
  }
  started_.push_back(std::move(copy));
  if (on_start_) on_start_();
}

void ServerWatch::EndStartedCopies() {
  for (Copy& copy : started_) {
    copy.end_wait.reset();  // its end is no news now
    if (StillRuns(copy.process)) ::TerminateProcess(copy.process.get(), 0);
  }
  started_.clear();
  if (window_) ::KillTimer(window_, TIMER_SERVER_KEEP);
}

bool ServerWatch::ForgetEndedCopies() {
  const bool ran = !started_.empty();
  std::erase_if(started_, [](const Copy& copy) { return !StillRuns(copy.process); });
  return ran && started_.empty();
}

void ServerWatch::Keep() {
  ::KillTimer(window_, TIMER_SERVER_KEEP);
  if (ForgetEndedCopies()) keeper_.Ended(Now());
  // The first minute has its own rule; its last tick looks here again.
  if (!first_minute_.finished() || keeper_.gave_up()) return;
  // A process list that cannot be read counts as a running copy: better no restart than a
  // second copy.
  const auto any = [] {
    const auto found = FindProcessesByName(kMonitorServerExe, 1);
    return !found || !found->empty();
  };
  if (started_.empty() && keeper_.Look(Now(), any)) Launch(true);
  ScheduleLook();
}

void ServerWatch::ScheduleLook() {
  const bool heard_of = std::all_of(started_.begin(), started_.end(), [](const Copy& copy) {
    return static_cast<bool>(copy.end_wait);
  });
  if (keeper_.gave_up() || (!started_.empty() && heard_of)) return;
  const ServerKeeper::Ms now = Now();
  const ServerKeeper::Ms at = started_.empty()
                                  ? keeper_.NextLook(now)
                                  : now + ServerKeeper::Ms(periods_.restart_spacing_ms);
  ::SetTimer(window_, TIMER_SERVER_KEEP, static_cast<UINT>((at - now).count()), nullptr);
}

}  // namespace calorix
