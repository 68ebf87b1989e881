// A monitor's named shared-memory section, opened read-only and copied whole.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/base/handles.h"

namespace kalvaro {

struct ViewTraits {  // MapViewOfFile
  using type = const void*;
  static type invalid() { return nullptr; }
  void close(type view) const { ::UnmapViewOfFile(view); }
};
using UniqueView = calorix::UniqueHandle<ViewTraits>;

// The first of `names` that exists ("Global\X" and "X" are different objects: which one a
// monitor creates depends on its rights and version). `mutex` is the monitor's own lock
// around its writes, when it has one.
class SharedSection {
 public:
  // A copy longer than this is cut: no layout known comes near it.
  static constexpr std::size_t kMaxCopy = 4 << 20;

  explicit SharedSection(std::vector<std::wstring> names, std::wstring mutex = {});

  // Copies the section into `out`, opening it when it is not open. False when no section of
  // those names exists (or none of it can be read). With `keep` it stays open for the next copy:
  // only for monitors whose data tells by itself that they have stopped, since an open handle keeps
  // a dead monitor's section, frozen, alive.
  bool Copy(std::vector<std::uint8_t>& out, bool keep);
  void Close();

 private:
  bool Open();

  std::vector<std::wstring> names_;
  std::wstring mutex_name_;
  calorix::UniqueKernelHandle mapping_;  // owned while open
  UniqueView view_;                      // owned while open
  std::size_t size_ = 0;
  calorix::UniqueKernelHandle mutex_;  // owned while open; null when the monitor has none
};

}  // namespace kalvaro
