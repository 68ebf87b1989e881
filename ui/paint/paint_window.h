// PaintWindow: the window a paint manager paints and routes, with its kept DC and timers.
#pragma once

#include <windows.h>

#include "ui/core/geometry.h"
#include "ui/paint/ui_thread.h"

namespace Zentu {

// Every operation first checks that the window is live and otherwise does nothing.
class PaintWindow {
 public:
  PaintWindow() = default;
  PaintWindow(const PaintWindow&) = delete;
  PaintWindow& operator=(const PaintWindow&) = delete;
  ~PaintWindow() { Detach(); }

  // Takes the window's DC for as long as the window stays attached; the window's thread
  // becomes the UI thread.
  void Attach(HWND window);
  void Detach();
  void ReleaseDc();

  HWND hwnd() const { return hwnd_; }
  HDC dc() const { return dc_; }
  bool IsLive() const { return hwnd_ != nullptr && ::IsWindow(hwnd_); }
  const UiThread& ui_thread() const { return ui_thread_; }

  // A layered window is always invalidated whole: it is presented whole.
  void SetLayered(int layered) { layered_ = layered; }
  int IsLayered() const { return layered_; }
  void Invalidate() const;
  void InvalidateRect(const RECT* rect, int erase) const;

  void StartTimer(UINT id, UINT period) const;
  void StopTimer(UINT id) const;
  LRESULT Send(UINT msg, WPARAM wparam, LPARAM lparam) const;
  CRect ClientRect() const;
  CRect WindowRect() const;

 private:
  HWND hwnd_ = nullptr;  // not owned
  HDC dc_ = nullptr;     // owned: GetDC of hwnd_, released by Detach
  int layered_ = 0;
  UiThread ui_thread_;
};

}  // namespace Zentu
