// The entry's preparation of the process: one running copy, display scaling, privileges.
#pragma once

#include <windows.h>

#include "app/base/handles.h"

namespace calorix {

// Limits where DLLs loaded by name come from to the system folder and the program's own
// folder: never the current directory or the PATH, which the user may write. Windows 7
// without KB2533623 lacks that call; there the current directory is taken out of the search.
void RestrictDllSearch();

// Creates the mutex "KEM", owned by this process. Returns false when another copy already
// holds it; that copy's main window is looked up (and left alone). A mutex that cannot be
// created at all does not count as a second copy.
bool TakeSingleInstance();

// Declares the process DPI-aware on small screens, as read before any declaration.
void ApplyDpiRule();

// SeDebugPrivilege, enabled in the process token while this lives and put back as it was
// afterwards: only ending a server left from an earlier run needs it, and a privilege left
// enabled would serve whatever else runs in the process.
class DebugPrivilege {
 public:
  DebugPrivilege(const DebugPrivilege&) = delete;
  DebugPrivilege& operator=(const DebugPrivilege&) = delete;
  ~DebugPrivilege();

  // Whether the adjustment took (it does not where the token lacks the privilege).
  bool enabled() const { return enabled_; }

 private:
  friend DebugPrivilege EnableDebugPrivilege();
  DebugPrivilege();

  UniqueKernelHandle token_;     // owned: open while the privilege is to be put back
  TOKEN_PRIVILEGES previous_{};  // the state the adjustment replaced
  bool enabled_ = false;
};

// Enables SeDebugPrivilege until the result goes away.
[[nodiscard]] DebugPrivilege EnableDebugPrivilege();

}  // namespace calorix
