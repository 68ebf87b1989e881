// Why the tray program ends, and what its one shutdown path does for each reason.
#pragma once

namespace calorix {

enum class ExitReason {
  kWindowClosed,   // the main window was destroyed otherwise: the modal loop's normal end
  kTrayExit,       // the tray menu's "Exit"
  kUpdateStarted,  // an accepted update's program runs
};

struct ExitPlan {
  const char* name;  // for the log
  // Whether the server copies this program started are ended; one the user started never is.
  bool end_server;
  int exit_code;
};

// The normal end terminates the server and returns 1; "Exit" and an update leave it running
// and end with 0. Every reason removes the icon, stops the worker and shuts GDI+, COM and OLE
// down; a worker that does not stop in time ends the process with the same code.
constexpr ExitPlan PlanFor(ExitReason reason) {
  switch (reason) {
    case ExitReason::kTrayExit:
      return {"exit chosen in the tray menu", false, 0};
    case ExitReason::kUpdateStarted:
      return {"an update's program started", false, 0};
    case ExitReason::kWindowClosed:
      break;
  }
  return {"the main window was closed", true, 1};
}

}  // namespace calorix
