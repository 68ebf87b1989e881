// The program's read-only view of the shared temperature block.
#pragma once

#include <windows.h>

#include "app/temperature/temperature_block.h"

namespace calorix {

// Creates or opens the named block and maps it read-only. On failure to map the view the
// mapping stays open and the caller tries again later.
bool MapTemperatureBlock(HANDLE* mapping, LPVOID* view, bool* created_new);

// The three fields the main window holds. Neither the view nor the handle is released
// while the process runs: the system releases both at exit.
struct TemperatureMapping {
  HANDLE mapping = nullptr;                          // owned until process exit
  LPVOID view = nullptr;                             // owned until process exit
  const TemperatureBlock* volatile block = nullptr;  // set once by the worker

  // Maps the block when it is not mapped yet; returns whether it is mapped now.
  bool EnsureMapped();
};

}  // namespace calorix
