// Mapping the hardware-monitor server's block from the paging file.
#include "app/temperature/temperature_mapping.h"

#include "app/system/readable_view.h"

namespace calorix {

bool MapTemperatureBlock(HANDLE* mapping, LPVOID* view, bool* created_new) {
  *view = nullptr;
  *mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  kTemperatureBlockSize, kTemperatureBlockName);
  if (*mapping == nullptr) return false;
  *created_new = ::GetLastError() == 0;
  *view = ::MapViewOfFile(*mapping, FILE_MAP_READ, 0, 0, kTemperatureBlockSize);
  if (!*view || ReadableBytes(*view, kTemperatureBlockSize) == kTemperatureBlockSize)
    return *view != nullptr;
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
