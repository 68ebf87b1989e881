// The worker thread's procedure, start, bounded stop and join.
#include "app/shell/thread_basic.h"

#include <exception>

#include "app/system/log.h"

namespace calorix {

CThreadBasic::CThreadBasic() : state_(std::make_shared<RunState>()) {}

CThreadBasic::~CThreadBasic() {
  running_ = 0;
  state_->RequestStop();
  Join();
}

bool CThreadBasic::Start() {
  if (running_.load() != 0) return false;
  if (thread_.joinable()) {
    if (!state_->Finished()) return false;  // an earlier step is still running
    thread_.join();
  }
  period_ms_ = kPeriodMs;
  repeat_ = 1;
  start_tick_ = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count());
  state_ = std::make_shared<RunState>();
  running_ = 1;
  try {
    thread_ = std::thread(&CThreadBasic::ThreadProc, this, state_);
  } catch (const std::exception& e) {
    running_ = 0;
    LogPrint(Error, "worker thread not started: %s", e.what());
    return false;
  }
  return true;
}

bool CThreadBasic::Stop(std::chrono::milliseconds wait) {
  if (!thread_.joinable()) {
    running_ = 0;
    return true;
  }
  running_ = 0;
  state_->RequestStop();
  std::vector<std::function<void()>> hooks;
  {
    std::lock_guard<std::mutex> guard(hooks_lock_);
    hooks = stop_hooks_;
  }
  for (auto& hook : hooks) hook();
  if (std::this_thread::get_id() == thread_.get_id()) return false;
  if (!state_->WaitFinished(wait)) return false;
  thread_.join();
  return true;
}

void CThreadBasic::Join() {
  if (!thread_.joinable()) return;
  if (std::this_thread::get_id() == thread_.get_id()) {
    // Only reachable when a step destroys its own owner, which the owner must never allow;
    // joining itself would throw, so the thread is let go.
    LogPrint(Error, "worker destroyed from its own step");
    thread_.detach();
    return;
  }
  thread_.join();
}

void CThreadBasic::AddStopHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> guard(hooks_lock_);
  stop_hooks_.push_back(std::move(hook));
}

bool CThreadBasic::IsFinished() const { return !thread_.joinable() || state_->Finished(); }

StopToken CThreadBasic::GetStopToken() const { return StopToken(state_); }

void CThreadBasic::Pause(const StopToken& stop, std::chrono::milliseconds period) {
  stop.SleepFor(period);
}

void CThreadBasic::SafeRun() {
  // No exception leaves the thread procedure: a failed step is logged and the loop goes on.
  try {
    Run();
  } catch (const std::exception& e) {
    LogPrint(Error, "worker step failed: %s", e.what());
  } catch (...) {
    LogPrint(Error, "worker step failed");
  }
}

void CThreadBasic::ThreadProc(std::shared_ptr<RunState> state) {
  while (running_.load() != 0) {
    SafeRun();
    if (running_.load() == 0) break;
    Pause(StopToken(state), std::chrono::milliseconds(period_ms_));
  }
  state->MarkFinished();
}

}  // namespace calorix
