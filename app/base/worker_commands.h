// What the layers below the shell see of the main window's worker: the command codes, the
// work of a command, and the port through which they queue commands and plug in their work.
#pragma once

#include <functional>

#include "app/base/stop_token.h"

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

// The work of a command, run on the worker. Long work looks at the token between pieces
// and ends soon after a stop.
using CommandHandler = std::function<void(const StopToken&)>;

// The worker as a layer below it uses it; any thread.
class CommandPort {
 public:
  // Queues `command` at the back.
  virtual void Append(WorkerCommand command) = 0;
  // Plugs in the work of `command`; the next dispatch of that code uses it.
  virtual void SetHandler(WorkerCommand command, CommandHandler handler) = 0;
  // Called by the worker's Stop, on the stopping thread, after the stop request.
  virtual void AddStopHook(std::function<void()> hook) = 0;

 protected:
  ~CommandPort() = default;
};

}  // namespace calorix
