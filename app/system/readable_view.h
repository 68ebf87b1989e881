// How much of a mapped view can be read: any process of the session may make a named section
// first, for instance reserved and never committed, and the first read of it would fault.
#pragma once

#include <windows.h>

#include <cstddef>

namespace calorix {

// The bytes from the start of `view` (as MapViewOfFile gave it) that are committed and
// readable, up to `most`. Committed pages of a section stay committed, so one look suffices.
inline std::size_t ReadableBytes(const void* view, std::size_t most) {
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  const auto* start = static_cast<const char*>(view);
  const char* at = start;
  while (at < start + most) {
    MEMORY_BASIC_INFORMATION region{};
    // Past the view's own pages lies whatever else the process has mapped.
    if (::VirtualQuery(at, &region, sizeof region) == 0 || region.AllocationBase != view ||
        region.State != MEM_COMMIT || !(region.Protect & kReadable) ||
        (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)))
      break;
    at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
  }
  return at - start < static_cast<std::ptrdiff_t>(most) ? at - start : most;
}

}  // namespace calorix
