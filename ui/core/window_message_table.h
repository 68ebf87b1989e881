// The message table MDialog and MAirBladder share: each window message to the virtual
// handler of the same name. Internal; not installed.
#pragma once

#include <windows.h>
#include <windowsx.h>

#include "ui/core/geometry.h"
#include "ui/core/mdialog.h"  // kCloseRequestMessage

namespace Zentu {

// Calls the handler of `msg` on `window`. Returns true with `*result` set when the message
// is answered here and goes no further; false when it still goes on to the default handling.
template <class Window>
bool DispatchWindowMessage(Window& window, UINT msg, WPARAM wparam, LPARAM lparam,
                           LRESULT* result) {
  const auto flags = static_cast<UINT>(wparam);
  const CPoint point(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
  switch (msg) {
    case WM_CREATE:
      window.OnCreate(reinterpret_cast<CREATESTRUCTW*>(lparam));
      break;
    case WM_DESTROY:
      window.OnDestroy();
      break;
    case WM_SIZE:
      window.OnSize(flags, LOWORD(lparam), HIWORD(lparam));
      break;
    case WM_PAINT:
      window.OnPaint();
      break;
    case WM_CLOSE:
      window.OnClose();
      break;
    case WM_ERASEBKGND:
      *result = 1;  // the window never shows its class background
      return true;
    case WM_WINDOWPOSCHANGING:
      window.OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lparam));
      break;
    case WM_WINDOWPOSCHANGED:
      window.OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lparam));
      break;
    case WM_NCACTIVATE:
      window.OnNcActivate(static_cast<int>(wparam));
      break;
    case WM_TIMER:
      window.OnTimer(flags);
      break;
    case WM_MOUSEMOVE:
      window.OnMouseMove(flags, point);
      break;
    case WM_LBUTTONDOWN:
      window.OnLButtonDown(flags, point);
      break;
    case WM_LBUTTONUP:
      window.OnLButtonUp(flags, point);
      break;
    case WM_LBUTTONDBLCLK:
      window.OnLButtonDblClk(flags, point);
      break;
    case WM_RBUTTONDOWN:
      window.OnRButtonDown(flags, point);
      break;
    case WM_RBUTTONUP:
      window.OnRButtonUp(flags, point);
      break;
    case WM_RBUTTONDBLCLK:
      window.OnRButtonDblClk(flags, point);
      break;
    case WM_MOUSEHOVER:
      window.OnMouseHover(flags, static_cast<long>(lparam));
      break;
    case WM_MOUSELEAVE:
      window.OnMouseLeave(flags, static_cast<long>(lparam));
      break;
    case kCloseRequestMessage:
      *result = window.OnUserCloseWindow(flags, static_cast<long>(lparam));
      return true;
    default:
      break;
  }
  return false;
}

}  // namespace Zentu
