// PaintWindow: the window a paint manager paints and routes, with its kept DC and timers.
#include "ui/paint/paint_window.h"

#include <cstdio>
#include <cstdlib>

namespace Zentu {

void UiThread::Misuse() noexcept {
  ::OutputDebugStringA("Zentu: UI-thread-only state touched from another thread\n");
  std::fputs("Zentu: UI-thread-only state touched from another thread\n", stderr);
  std::abort();
}

void PaintWindow::Attach(HWND window) {
  if (window == hwnd_) return;
  Detach();
  hwnd_ = window;
  dc_ = ::GetDC(window);
  ui_thread_.Bind(window);
}

void PaintWindow::Detach() {
  ReleaseDc();
  hwnd_ = nullptr;
}

void PaintWindow::ReleaseDc() {
  if (dc_ && hwnd_) ::ReleaseDC(hwnd_, dc_);
  dc_ = nullptr;
}

void PaintWindow::Invalidate() const {
  if (IsLive()) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void PaintWindow::InvalidateRect(const RECT* rect, int erase) const {
  if (!IsLive()) return;
  if (layered_)
    ::InvalidateRect(hwnd_, nullptr, TRUE);
  else
    ::InvalidateRect(hwnd_, rect, erase);
}

void PaintWindow::StartTimer(UINT id, UINT period) const {
  if (IsLive()) ::SetTimer(hwnd_, id, period, nullptr);
}

void PaintWindow::StopTimer(UINT id) const {
  if (IsLive()) ::KillTimer(hwnd_, id);
}

LRESULT PaintWindow::Send(UINT msg, WPARAM wparam, LPARAM lparam) const {
  return IsLive() ? ::SendMessageW(hwnd_, msg, wparam, lparam) : 0;
}

CRect PaintWindow::ClientRect() const {
  CRect rect;
  if (IsLive()) ::GetClientRect(hwnd_, &rect);
  return rect;
}

CRect PaintWindow::WindowRect() const {
  CRect rect;
  if (IsLive()) ::GetWindowRect(hwnd_, &rect);
  return rect;
}

}  // namespace Zentu
