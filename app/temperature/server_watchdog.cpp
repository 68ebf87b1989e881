// The server watchdog: the first minute's tick counting and the keeper's decisions.
#include "app/temperature/server_watchdog.h"

#include "app/system/log.h"

namespace calorix {

bool ServerNeedsStart(const TemperatureBlock* block) {
  if (!block) return false;
  // One plain load: the server writes the field while we read it.
  const float liveness = *static_cast<const volatile float*>(&block->cpu_liveness);
  return liveness <= 0.0f;  // false for NaN
}

ServerWatchdog::Step ServerWatchdog::Tick(const TemperatureBlock* block) {
  Step step;
  if (finished()) {
    // A tick that slipped past the killed timer; the counter must not wrap into a restart.
    step.kill_timer = true;
    return step;
  }
  step.start_server = ServerNeedsStart(block);
  const std::uint32_t taken = counter_++;
  step.kill_timer = taken > kServerWatchTicks - 2;  // the value taken exceeds 10
  return step;
}

void ServerKeeper::Started(Ms now, bool started, bool restart) {
  last_start_ = now;
  restart_on_trial_ = restart && started;
  if (!restart) return;
  ++restarts_;
  if (started) {
    LogPrint(Info, "server watchdog: Kalvaro.exe started again (restart %d)", restarts_);
  } else {
    LogPrint(Warn, "server watchdog: Kalvaro.exe could not be started again (restart %d)",
             restarts_);
    CountFailure();
  }
}

void ServerKeeper::Ended(Ms now) {
  LogPrint(Warn, "server watchdog: Kalvaro.exe has ended");
  if (!restart_on_trial_) return;
  restart_on_trial_ = false;
  if (now - *last_start_ >= spacing_) {
    failed_ = 0;  // it lasted: the restarts succeed again
  } else {
    CountFailure();
  }
}

bool ServerKeeper::Look(Ms now, const std::function<bool()>& any_running) const {
  if (gave_up_) return false;
  const bool due = !last_start_ || now - *last_start_ >= spacing_;
  // Another copy (one the user started) publishes as well as ours would: no second copy.
  return due && !any_running();
}

ServerKeeper::Ms ServerKeeper::NextLook(Ms now) const {
  const Ms slot = last_start_ ? *last_start_ + spacing_ : now;
  return slot > now ? slot : now + spacing_;
}

void ServerKeeper::CountFailure() {
  if (++failed_ < kMaxFailedRestarts) return;
  gave_up_ = true;
  LogPrint(Error, "server watchdog: %d restarts in a row failed; Kalvaro.exe is not started again",
           failed_);
}

}  // namespace calorix
