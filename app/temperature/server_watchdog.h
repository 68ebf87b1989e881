// The hardware-monitor server watchdog's decisions, one per timer tick.
#pragma once

#include <cstdint>

#include "app/temperature/temperature_block.h"

namespace calorix {

inline constexpr unsigned kTimerServerWatch = 300;  // TIMER_SERVER_WATCH
inline constexpr unsigned kServerWatchPeriodMs = 5000;
inline constexpr unsigned kServerWatchTicks = 12;

// True when the block is mapped and the server has not published yet: liveness 0 or
// negative. A liveness that is not a number counts as published.
bool ServerNeedsStart(const TemperatureBlock* block);

class ServerWatchdog {
 public:
  struct Step {
    bool start_server = false;
    bool kill_timer = false;
  };

  // One tick: `block` is null while the block is not mapped. The twelfth tick, and any
  // after it, asks for the timer to be killed; once finished it never starts the server.
  Step Tick(const TemperatureBlock* block);

  std::uint32_t ticks() const { return counter_; }
  bool finished() const { return counter_ >= kServerWatchTicks; }

 private:
  std::uint32_t counter_ = 0;
};

}  // namespace calorix
