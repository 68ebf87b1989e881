// The tray program's worker: the command queue, the dispatch of WorkerCommand codes and the
// step that sends the temperature whenever the queue is empty.
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

#include "app/device/send_temperature.h"
#include "app/shell/thread_basic.h"

namespace calorix {

enum class WorkerCommand : int {
  RefreshDevices = 1,
  CheckSoftware = 3,
  CheckFirmware = 4,
  CheckSoftwareQuiet = 5,
  CheckFirmwareQuiet = 6,
  UpdateSoftware = 7,
  UpdateFirmware = 8,
};

// The name of a command code, or null for a code outside the table (2, 9, ...).
const char* WorkerCommandName(int code);

// First in, first out; appended from any thread, taken by the worker. The lock is held only
// for the list operation, never while a command's work runs.
class CommandQueue {
 public:
  void Append(int code);
  std::optional<int> TakeFront();
  std::size_t Count() const;

 private:
  mutable std::mutex lock_;
  std::deque<int> codes_;  // guarded by lock_
};

// The work of a command, run on the worker. Long work looks at the token between pieces
// and ends soon after a stop (see CThreadBasic on how stopping is bounded).
using CommandHandler = std::function<void(const StopToken&)>;

enum class CommandResult {
  kRan,        // the command's handler ran
  kNoHandler,  // a known command whose handler is not plugged in: logged at Warn
  kIgnored,    // code 2, or a code outside the table: consumed without effect
};

// The main window owns one Worker, plugs in its handlers, starts it and stops it. Declare it
// after every member its handlers use, so that it is destroyed (and joined) first.
class Worker final : public CThreadBasic {
 public:
  Worker() = default;
  // Stops (bounded wait), then waits for the step still running.
  ~Worker() override;

  void Append(int code) { queue_.Append(code); }
  void Append(WorkerCommand command) { queue_.Append(static_cast<int>(command)); }
  std::size_t QueuedCount() const { return queue_.Count(); }

  // Plugs in the work of a command code (refresh by the main window, 3 to 8 by the update
  // service). Any thread, at any time; the next dispatch of that code uses it.
  void SetHandler(WorkerCommand command, CommandHandler handler);
  // The step taken while the queue is empty.
  void SetIdleStep(CommandHandler step);
  // The idle step becomes SendTemperature with `links`; its pause ends early on a stop.
  void SetSendTemperature(SendTemperatureLinks links);

  // The work for one code, as the step runs it.
  CommandResult Dispatch(int code);
  // One step: the next command, or the idle step when the queue is empty. Public so that
  // tests can drive the worker without its thread.
  void Run() override;

 private:
  CommandHandler HandlerFor(int code) const;

  CommandQueue queue_;
  mutable std::mutex handlers_lock_;
  std::array<CommandHandler, 9> handlers_;  // by code; guarded by handlers_lock_
  CommandHandler idle_step_;                // guarded by handlers_lock_
  bool idle_warned_ = false;                // worker thread only
};

}  // namespace calorix
