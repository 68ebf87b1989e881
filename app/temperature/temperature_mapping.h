// The program's read-only view of the shared temperature block.
#pragma once

#include <windows.h>

#include <atomic>

#include "app/temperature/temperature_block.h"

namespace calorix {

// Creates or opens the named block and maps it read-only. On failure to map the view the
// mapping stays open and the caller tries again later. A view whose 584 bytes are not all
// committed and readable counts as not mapped: it is unmapped, the mapping closed, and the
// last error is ERROR_NOACCESS.
bool MapTemperatureBlock(HANDLE* mapping, LPVOID* view, bool* created_new);

// The three fields the main window holds. Neither the view nor the handle is released
// while the process runs: the system releases both at exit.
class TemperatureMapping {
 public:
  // Maps the block when it is not mapped yet; returns whether it is mapped now. Worker only.
  bool EnsureMapped();
  // The mapped block, or null; any thread. The acquire pairs with the worker's publication,
  // so a reader that sees the pointer also sees the view behind it.
  const TemperatureBlock* Block() const { return block_.load(std::memory_order_acquire); }

 private:
  HANDLE mapping_ = nullptr;                             // owned until process exit
  LPVOID view_ = nullptr;                                // owned until process exit
  std::atomic<const TemperatureBlock*> block_{nullptr};  // published once by the worker
};

}  // namespace calorix
