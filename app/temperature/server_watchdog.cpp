// The server watchdog's tick counting.
#include "app/temperature/server_watchdog.h"

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

}  // namespace calorix
