// How work on another thread hears that it should stop: the state one run of a thread shares
// with the threads that stop it, and the token handed to its long work.
#pragma once

#include <chrono>
#include <memory>

#include "app/base/wait_condition.h"

namespace calorix {

// Kept alive by shared ownership, so a token copied out of a step stays valid.
class RunState {
 public:
  void RequestStop();
  bool StopRequested() const;
  // Waits up to `duration`; returns false when a stop request ended the wait early.
  bool SleepFor(std::chrono::milliseconds duration);
  void MarkFinished();
  bool Finished() const;
  // Waits up to `duration` for the thread to finish; returns whether it has.
  bool WaitFinished(std::chrono::milliseconds duration);

 private:
  mutable WaitMutex lock_;
  WaitCondition changed_;
  bool stop_requested_ = false;
  bool finished_ = false;
};

// Handed to long work so that a stop reaches it: pauses end at once and loops look at
// StopRequested between pieces of work.
class StopToken {
 public:
  StopToken() : state_(std::make_shared<RunState>()) {}
  explicit StopToken(std::shared_ptr<RunState> state) : state_(std::move(state)) {}
  bool StopRequested() const { return state_->StopRequested(); }
  // An interruptible pause: false when it was cut short by a stop.
  bool SleepFor(std::chrono::milliseconds duration) const { return state_->SleepFor(duration); }

 private:
  std::shared_ptr<RunState> state_;  // shared with the thread's run
};

}  // namespace calorix
