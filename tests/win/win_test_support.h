// Helpers shared by the Windows tests: child processes and polling.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/core/win_handles.h"

namespace calorix::test {

// Folder of the running test executable, with a trailing backslash.
std::wstring ProgramFolder();

// A child process that is terminated if it is still running when this goes away.
class ChildProcess {
 public:
  explicit ChildProcess(const std::wstring& command_line);
  ~ChildProcess();
  bool started() const { return static_cast<bool>(process_); }
  // Exit code, or STILL_ACTIVE when it did not end within `ms`.
  DWORD Wait(DWORD ms);

 private:
  Zentu::UniqueKernelHandle process_;  // owned
};

bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms);

// Runs `track`, which tracks a pop-up menu on this thread, and returns the menu's items as
// "id:text", read as the menu opens; the menu is then dismissed.
std::vector<std::wstring> TrackedMenuItems(const std::function<void()>& track);

}  // namespace calorix::test
