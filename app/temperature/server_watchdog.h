// The hardware-monitor server watchdog's decisions: the first minute's ticks, then keeping
// the server running for the rest of the run.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

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

// How often the server is watched. The program uses the defaults; the end-to-end tests'
// build shortens them so that "minutes" pass in seconds.
struct ServerWatchPeriods {
  unsigned first_minute_tick_ms = kServerWatchPeriodMs;  // timer 300, 12 ticks
  unsigned restart_spacing_ms = 60000;                   // at most one restart per spacing
};

inline constexpr int kMaxFailedRestarts = 10;

// After the first minute: restarts the server we started whenever it has ended, at most
// once per spacing, and never while any copy of it runs (the user may have started one).
// A restart fails when the server cannot be started or ends again before a spacing has
// passed; after 10 failed restarts in a row it stops trying. Every restart, every end it
// hears of and the giving up are logged. Times are milliseconds of any steady clock.
//
// It is told of events instead of looking: a start, the end of our copy. While no copy of
// ours runs it looks once per restart slot (a spacing after the last start).
class ServerKeeper {
 public:
  using Ms = std::chrono::milliseconds;
  explicit ServerKeeper(Ms restart_spacing = Ms(ServerWatchPeriods{}.restart_spacing_ms))
      : spacing_(restart_spacing) {}

  // A start of the server at `now` by anyone in the program; `restart` marks the keeper's own
  // (after Look asked for it), `started` whether a process was created.
  void Started(Ms now, bool started, bool restart);
  // The copies we started have all ended; `now` is when that was seen.
  void Ended(Ms now);
  // A look while no copy of ours runs: true when the server should be started now. Reading
  // the process list is costly, so `any_running` (whether any copy runs, one the user
  // started included) is asked only when a restart is due.
  bool Look(Ms now, const std::function<bool()>& any_running) const;
  // While no copy of ours runs, when to look next: the restart slot, or one spacing on once
  // the slot has passed.
  Ms NextLook(Ms now) const;

  bool gave_up() const { return gave_up_; }
  int restarts() const { return restarts_; }
  int failed_in_a_row() const { return failed_; }

 private:
  void CountFailure();

  Ms spacing_;
  std::optional<Ms> last_start_;
  bool restart_on_trial_ = false;  // the last start was a restart that has not lasted yet
  int restarts_ = 0;
  int failed_ = 0;
  bool gave_up_ = false;
};

}  // namespace calorix
