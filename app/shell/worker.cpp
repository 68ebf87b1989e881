// The worker's queue, dispatch and step.
#include "app/shell/worker.h"

#include <iterator>

#include "app/system/log.h"

namespace calorix {

const char* WorkerCommandName(int code) {
  // Indexed by code; 0 and 2 are not commands.
  static constexpr const char* kNames[] = {
      nullptr,
      "RefreshDevices",
      nullptr,
      "CheckSoftware",
      "CheckFirmware",
      "CheckSoftwareQuiet",
      "CheckFirmwareQuiet",
      "UpdateSoftware",
      "UpdateFirmware",
  };
  if (code < 0 || code >= static_cast<int>(std::size(kNames))) return nullptr;
  return kNames[code];
}

void CommandQueue::Append(int code) {
  std::lock_guard<std::mutex> guard(lock_);
  codes_.push_back(code);
}

std::optional<int> CommandQueue::TakeFront() {
  std::lock_guard<std::mutex> guard(lock_);
  if (codes_.empty()) return std::nullopt;
  const int code = codes_.front();
  codes_.pop_front();
  return code;
}

std::size_t CommandQueue::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return codes_.size();
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
  std::lock_guard<std::mutex> guard(handlers_lock_);
  idle_step_ = std::move(step);
}

void Worker::SetSendTemperature(SendTemperatureLinks links) {
  SetIdleStep([links = std::move(links)](const StopToken& stop) {
    SendTemperature(links, [&stop](std::chrono::milliseconds pause) { stop.SleepFor(pause); });
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

void Worker::Run() {
  if (const std::optional<int> code = queue_.TakeFront()) {
    Dispatch(*code);
    return;
  }
  CommandHandler step;
  {
    std::lock_guard<std::mutex> guard(handlers_lock_);
    step = idle_step_;
  }
  if (step) {
    step(GetStopToken());
  } else if (!idle_warned_) {
    idle_warned_ = true;
    LogPrint(Warn, "worker has no idle step: no temperature is sent");
  }
}

}  // namespace calorix
