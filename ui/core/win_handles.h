// The Win32 handle kinds the program owns, as UniqueHandle traits.
#pragma once

#include <windows.h>

#include "app/base/handles.h"
#include "ui/core/unique_handle.h"

namespace Zentu {

// The kernel, registry and module handles are the programs' as well.
using calorix::FileHandleTraits;
using calorix::KernelHandleTraits;
using calorix::ModuleTraits;
using calorix::RegKeyTraits;
using calorix::UniqueFileHandle;
using calorix::UniqueKernelHandle;
using calorix::UniqueModule;
using calorix::UniqueRegKey;

struct GdiObjectTraits {  // bitmaps, fonts, brushes, pens, regions
  using type = HGDIOBJ;
  static type invalid() { return nullptr; }
  void close(type h) const { ::DeleteObject(h); }
};
struct MemoryDcTraits {  // CreateCompatibleDC
  using type = HDC;
  static type invalid() { return nullptr; }
  void close(type h) const { ::DeleteDC(h); }
};
struct WindowDcTraits {  // GetDC: released against the window it came from
  using type = HDC;
  HWND window = nullptr;
  static type invalid() { return nullptr; }
  void close(type h) const { ::ReleaseDC(window, h); }
};
struct SelectedObjectTraits {  // SelectObject: holds the DC and restores the previous object
  using type = HGDIOBJ;
  HDC dc = nullptr;
  static type invalid() { return nullptr; }
  void close(type previous) const { ::SelectObject(dc, previous); }
};
struct IconTraits {
  using type = HICON;
  static type invalid() { return nullptr; }
  void close(type h) const { ::DestroyIcon(h); }
};

using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueWindowDc = UniqueHandle<WindowDcTraits>;
using UniqueSelection = UniqueHandle<SelectedObjectTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;

inline UniqueWindowDc GetWindowDc(HWND window) {
  return UniqueWindowDc(::GetDC(window), WindowDcTraits{window});
}
// Selects `object` into `dc`; destroying the result puts the previous object back.
inline UniqueSelection SelectInto(HDC dc, HGDIOBJ object) {
  return UniqueSelection(::SelectObject(dc, object), SelectedObjectTraits{dc});
}

// BeginPaint/EndPaint pair, carrying its PAINTSTRUCT.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = ::BeginPaint(window_, &ps_); }
  ~PaintScope() {
    if (dc_) ::EndPaint(window_, &ps_);
  }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }
  const PAINTSTRUCT& paint() const { return ps_; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

}  // namespace Zentu
