// The Win32 handle kinds the program owns, as UniqueHandle traits.
#pragma once

#include <windows.h>

#include "ui/core/unique_handle.h"

namespace Zentu {

struct KernelHandleTraits {  // CreateEvent, CreateThread, OpenProcess, CreateFileMapping, ...
  using type = HANDLE;
  static type invalid() { return nullptr; }
  void close(type h) const { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile, CreateToolhelp32Snapshot: INVALID_HANDLE_VALUE on failure
  using type = HANDLE;
  static type invalid() { return INVALID_HANDLE_VALUE; }
  void close(type h) const { ::CloseHandle(h); }
};
struct RegKeyTraits {
  using type = HKEY;
  static type invalid() { return nullptr; }
  void close(type h) const { ::RegCloseKey(h); }
};
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
struct ModuleTraits {  // LoadLibrary
  using type = HMODULE;
  static type invalid() { return nullptr; }
  void close(type h) const { ::FreeLibrary(h); }
};
struct IconTraits {
  using type = HICON;
  static type invalid() { return nullptr; }
  void close(type h) const { ::DestroyIcon(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueWindowDc = UniqueHandle<WindowDcTraits>;
using UniqueSelection = UniqueHandle<SelectedObjectTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
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
