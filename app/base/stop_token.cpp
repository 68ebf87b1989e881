// The stop request and the finished mark of one run, and the waits on them.
#include "app/base/stop_token.h"

namespace calorix {

void RunState::RequestStop() {
  {
    std::lock_guard<WaitMutex> guard(lock_);
    stop_requested_ = true;
  }
  changed_.notify_all();
}

bool RunState::StopRequested() const {
  std::lock_guard<WaitMutex> guard(lock_);
  return stop_requested_;
}

bool RunState::SleepFor(std::chrono::milliseconds duration) {
  std::unique_lock<WaitMutex> guard(lock_);
  return !changed_.wait_for(guard, duration, [this] { return stop_requested_; });
}

void RunState::MarkFinished() {
  {
    std::lock_guard<WaitMutex> guard(lock_);
    finished_ = true;
  }
  changed_.notify_all();
}

bool RunState::Finished() const {
  std::lock_guard<WaitMutex> guard(lock_);
  return finished_;
}

bool RunState::WaitFinished(std::chrono::milliseconds duration) {
  std::unique_lock<WaitMutex> guard(lock_);
  return changed_.wait_for(guard, duration, [this] { return finished_; });
}

}  // namespace calorix
