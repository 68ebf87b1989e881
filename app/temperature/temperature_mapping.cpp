// Mapping the hardware-monitor server's block from the paging file.
#include "app/temperature/temperature_mapping.h"

namespace calorix {
namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// Whether every byte of the view can be read. Any process of the session may make the block
// first, for instance reserved and never committed, and the first read would then fault.
// Committed pages of a mapping stay committed, so one look suffices.
bool ViewIsReadable(const void* view, std::size_t size) {
  const auto* at = static_cast<const char*>(view);
  const auto* end = at + size;
  while (at < end) {
    MEMORY_BASIC_INFORMATION region{};
    if (::VirtualQuery(at, &region, sizeof region) == 0 || region.State != MEM_COMMIT ||
        !(region.Protect & kReadable) || (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)))
      return false;
    at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
  }
  return true;
}

}  // namespace

bool MapTemperatureBlock(HANDLE* mapping, LPVOID* view, bool* created_new) {
  *view = nullptr;
  *mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  kTemperatureBlockSize, kTemperatureBlockName);
  if (*mapping == nullptr) return false;
  *created_new = ::GetLastError() == 0;
  *view = ::MapViewOfFile(*mapping, FILE_MAP_READ, 0, 0, kTemperatureBlockSize);
  if (!*view || ViewIsReadable(*view, kTemperatureBlockSize)) return *view != nullptr;
  // Let go of it altogether: the block lives on only while someone holds it, and once its
  // maker has gone a real one can take the name.
  ::UnmapViewOfFile(*view);
  ::CloseHandle(*mapping);
  *view = nullptr;
  *mapping = nullptr;
  ::SetLastError(ERROR_NOACCESS);
  return false;
}

bool TemperatureMapping::EnsureMapped() {
  if (Block()) return true;
  bool created_new = false;
  // A mapping left open by an earlier attempt whose view failed is reused by name; close
  // our reference first so retries do not pile up handles.
  if (mapping_) {
    ::CloseHandle(mapping_);
    mapping_ = nullptr;
  }
  if (!MapTemperatureBlock(&mapping_, &view_, &created_new)) return false;
  block_.store(static_cast<const TemperatureBlock*>(view_), std::memory_order_release);
  return true;
}

}  // namespace calorix
