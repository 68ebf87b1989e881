// The entry's preparation of the process: one running copy, display scaling, privileges.
#pragma once

#include <windows.h>

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

// Enables SeDebugPrivilege in the process token; true when the adjustment took.
bool EnableDebugPrivilege();

}  // namespace calorix
