// The tray program's worker: the command queue, the dispatch of WorkerCommand codes and the
// step that sends the temperature whenever the queue is empty.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "app/base/wait_condition.h"
#include "app/base/worker_commands.h"
#include "app/device/send_temperature.h"
#include "app/shell/thread_basic.h"

namespace calorix {

// First in, first out; appended from any thread, taken by the worker. The lock is held only
// for the list operation, never while a command's work runs.
class CommandQueue {
 public:
  void Append(int code);
  std::optional<int> TakeFront();
  std::size_t Count() const;
  // Blocks until a command is queued, `give_up` answers true (looked at after every Wake)
  // or `timeout` has passed.
  void WaitForCommand(std::chrono::milliseconds timeout, const std::function<bool()>& give_up);
  // Makes a waiting WaitForCommand look at its `give_up` again.
  void Wake();

 private:
  mutable WaitMutex lock_;
  WaitCondition appended_;  // signalled by Append and Wake
  std::deque<int> codes_;   // guarded by lock_
};

enum class CommandResult {
  kRan,        // the command's handler ran
  kNoHandler,  // a known command whose handler is not plugged in: logged at Warn
  kIgnored,    // code 2, or a code outside the table: consumed without effect
};

// While the temperature cannot be read (block not mapped, no reading yet), the worker does
// not poll every 16 ms: it waits for a command, a stop, or the next look at the block. It
// looks 4 times a second while a reading may be about to come (for 10 s after LookSoon),
// otherwise once a second, the report's own cadence.
inline constexpr std::chrono::milliseconds kQuickLookPeriod{250};
inline constexpr std::chrono::milliseconds kLookPeriod{1000};
inline constexpr std::chrono::milliseconds kQuickLookSpan{10000};

// The main window owns one Worker, plugs in its handlers, starts it and stops it. Declare it
// after every member its handlers use, so that it is destroyed (and joined) first.
class Worker final : public CThreadBasic, public CommandPort {
 public:
  Worker();
  // Stops (bounded wait), then waits for the step still running.
  ~Worker() override;

  void Append(int code) { queue_.Append(code); }
  void Append(WorkerCommand command) override { queue_.Append(static_cast<int>(command)); }
  std::size_t QueuedCount() const { return queue_.Count(); }

  // Plugs in the work of a command code (refresh by the main window, 3 to 8 by the update
  // service). Any thread, at any time; the next dispatch of that code uses it.
  void SetHandler(WorkerCommand command, CommandHandler handler) override;
  void AddStopHook(std::function<void()> hook) override {
    CThreadBasic::AddStopHook(std::move(hook));
  }
  // The step taken while the queue is empty, followed by the usual 16 ms pause.
  void SetIdleStep(CommandHandler step);
  // The idle step becomes SendTemperature with `links`; its pause ends early on a stop. A
  // step that sends nothing is followed by a wait until the next look instead (the look
  // periods above), which a command, a stop or LookSoon ends at once.
  void SetSendTemperature(SendTemperatureLinks links);
  // A reading may come soon (a server was started, a display arrived, the system resumed):
  // the worker looks at the block at once and then at the quick period for the next 10 s.
  // Any thread.
  void LookSoon();

  // For tests: the longest wait between two looks at an unreadable block (kLookPeriod).
  void SetIdleLookPeriod(std::chrono::milliseconds period) {
    idle_look_ms_ = static_cast<int>(period.count());
  }
  // For tests, before Start: the clock of the look periods, and the wait between two looks at
  // an unreadable block in place of the queue's (which a command, a stop or LookSoon ends).
  using Clock = std::function<std::chrono::milliseconds()>;
  using LookWait = std::function<void(std::chrono::milliseconds)>;
  void SetLookTimingForTesting(Clock now, LookWait wait);

  // The work for one code, as the step runs it.
  CommandResult Dispatch(int code);
  // One step: the next command, or the idle step when the queue is empty. Public so that
  // tests can drive the worker without its thread.
  void Run() override;

 private:
  void Pause(const StopToken& stop, std::chrono::milliseconds period) override;
  // What follows a step: the thread's usual period, nothing more (the step paused itself,
  // period included), or a wait for a command while the step found nothing to do.
  enum class After { kPeriod, kPaused, kWaitForCommand };
  using IdleStep = std::function<After(const StopToken&)>;
  void SetIdle(IdleStep step);
  CommandHandler HandlerFor(int code) const;
  std::chrono::milliseconds Now() const;
  void WaitForNextLook(const StopToken& stop);

  CommandQueue queue_;
  mutable std::mutex handlers_lock_;
  std::array<CommandHandler, 9> handlers_;  // by code; guarded by handlers_lock_
  // Shared, so that taking it for a step copies no links; guarded by handlers_lock_.
  std::shared_ptr<const IdleStep> idle_step_;
  bool idle_warned_ = false;      // worker thread only
  After after_ = After::kPeriod;  // worker thread only: what follows the last step
  // Until when the looks are quick, on Now's clock; set by LookSoon.
  std::atomic<std::int64_t> quick_until_ms_{0};
  std::atomic<bool> look_now_{false};  // LookSoon since the last look
  std::atomic<int> idle_look_ms_{static_cast<int>(kLookPeriod.count())};
  Clock now_;           // null: the steady clock; set before Start
  LookWait look_wait_;  // null: the queue's wait; set before Start
};

}  // namespace calorix
