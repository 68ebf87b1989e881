// The worker's queue, dispatch and step.
#include "app/shell/worker.h"

#include <iterator>
#include <utility>

#include "app/system/log.h"

namespace calorix {

void CommandQueue::Append(int code) {
  {
    std::lock_guard<WaitMutex> guard(lock_);
    codes_.push_back(code);
  }
  appended_.notify_all();
}

std::optional<int> CommandQueue::TakeFront() {
  std::lock_guard<WaitMutex> guard(lock_);
  if (codes_.empty()) return std::nullopt;
  const int code = codes_.front();
  codes_.pop_front();
  return code;
}

std::size_t CommandQueue::Count() const {
  std::lock_guard<WaitMutex> guard(lock_);
  return codes_.size();
}

void CommandQueue::WaitForCommand(std::chrono::milliseconds timeout,
                                  const std::function<bool()>& give_up) {
  std::unique_lock<WaitMutex> guard(lock_);
  appended_.wait_for(guard, timeout, [&] { return !codes_.empty() || give_up(); });
}

void CommandQueue::Wake() {
  // Taken and released so that a waiter between its check and its wait cannot miss this.
  { std::lock_guard<WaitMutex> guard(lock_); }
  appended_.notify_all();
}

Worker::Worker() {
  AddStopHook([this] { queue_.Wake(); });
}

Worker::~Worker() {
  // The handlers use members of the owner declared before this worker: the thread has to
  // end before any of them goes away, however long the current step takes.
  Stop();
  Join();
}

void Worker::SetHandler(WorkerCommand command, CommandHandler handler) {
  const int code = static_cast<int>(command);
  if (!WorkerCommandName(code)) return;
  std::lock_guard<std::mutex> guard(handlers_lock_);
  handlers_[static_cast<std::size_t>(code)] = std::move(handler);
}

void Worker::SetIdleStep(CommandHandler step) {
  if (!step) return SetIdle(nullptr);
  SetIdle([step = std::move(step)](const StopToken& stop) {
    step(stop);
    return After::kPeriod;
  });
}

void Worker::SetIdle(IdleStep step) {
  auto shared = step ? std::make_shared<const IdleStep>(std::move(step)) : nullptr;
  std::lock_guard<std::mutex> guard(handlers_lock_);
  idle_step_ = std::move(shared);
}

void Worker::SetSendTemperature(SendTemperatureLinks links) {
  SetIdle([this, links = std::move(links)](const StopToken& stop) {
    // The report's pause and the thread's period after it are taken as one wait: the same
    // cadence, and one wake a second instead of two.
    const auto pause = [&stop](std::chrono::milliseconds d) {
      stop.SleepFor(d + std::chrono::milliseconds(kPeriodMs));
    };
    return SendTemperature(links, pause) == SendResult::kSent ? After::kPaused
                                                              : After::kWaitForCommand;
  });
}

CommandHandler Worker::HandlerFor(int code) const {
  std::lock_guard<std::mutex> guard(handlers_lock_);
  return handlers_[static_cast<std::size_t>(code)];
}

CommandResult Worker::Dispatch(int code) {
  const char* name = WorkerCommandName(code);
  if (!name) return CommandResult::kIgnored;
  // Copied out, so that the lock is not held while the work runs.
  const CommandHandler handler = HandlerFor(code);
  if (!handler) {
    LogPrint(Warn, "worker command %d (%s) has no handler; dropped", code, name);
    return CommandResult::kNoHandler;
  }
  handler(GetStopToken());
  return CommandResult::kRan;
}

void Worker::LookSoon() {
  quick_until_ms_ = (Now() + kQuickLookSpan).count();
  look_now_ = true;
  queue_.Wake();
}

void Worker::SetLookTimingForTesting(Clock now, LookWait wait) {
  now_ = std::move(now);
  look_wait_ = std::move(wait);
}

std::chrono::milliseconds Worker::Now() const {
  if (now_) return now_();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

void Worker::Run() {
  after_ = After::kPeriod;
  look_now_ = false;  // whatever comes next, this step is the look LookSoon asked for
  if (const std::optional<int> code = queue_.TakeFront()) {
    Dispatch(*code);
    return;
  }
  std::shared_ptr<const IdleStep> step;
  {
    std::lock_guard<std::mutex> guard(handlers_lock_);
    step = idle_step_;
  }
  if (step) {
    after_ = (*step)(GetStopToken());
  } else if (!idle_warned_) {
    idle_warned_ = true;
    LogPrint(Warn, "worker has no idle step: no temperature is sent");
  }
}

void Worker::Pause(const StopToken& stop, std::chrono::milliseconds period) {
  if (after_ == After::kPaused) return;
  if (after_ == After::kPeriod) return CThreadBasic::Pause(stop, period);
  WaitForNextLook(stop);
}

void Worker::WaitForNextLook(const StopToken& stop) {
  if (look_now_) return;
  const auto period = Now().count() < quick_until_ms_
                          ? kQuickLookPeriod
                          : std::chrono::milliseconds(idle_look_ms_.load());
  if (look_wait_) return look_wait_(period);
  // Stop hooks and LookSoon Wake the queue after setting what they set, so it is seen here.
  queue_.WaitForCommand(period, [this, &stop] { return stop.StopRequested() || look_now_; });
}

}  // namespace calorix
