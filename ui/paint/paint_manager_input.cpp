// PaintManager: the window message step; input goes on to the input router.
#include "ui/paint/paint_manager.h"

#include <windowsx.h>
#include <commctrl.h>

#include "ui/controls/mcontrol.h"

namespace Zentu {
namespace {

CPoint PointOf(LPARAM lparam) { return CPoint(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)); }

bool IsMouseMessage(UINT msg) {
  switch (msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
      return true;
    default:
      return false;
  }
}

}  // namespace

LRESULT PaintManager::OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  // Any handler below may remove controls, clear the lists or destroy the window (which
  // clears them at WM_NCDESTROY): the controls removed stay allocated until this returns.
  WalkScope walk(m_tree);
  m_painter.OnWindowMessage(msg);
  if (m_tree.Walk(ControlTree::kControls, [&](MControl* control) {
        return control->OnWindowMessage(msg, static_cast<unsigned>(wparam),
                                        static_cast<long>(lparam)) != 0;
      }))
    return 0;
  const UINT flags = static_cast<UINT>(wparam);
  int handled = 0;
  switch (msg) {
    case WM_PAINT:
      handled = OnPaint();
      break;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      if (info == nullptr) return 1;
      if (m_szMin.cx > 0) info->ptMinTrackSize.x = m_szMin.cx;
      if (m_szMin.cy > 0) info->ptMinTrackSize.y = m_szMin.cy;
      if (m_szMax.cx > 0) info->ptMaxTrackSize.x = info->ptMaxSize.x = m_szMax.cx;
      if (m_szMax.cy > 0) info->ptMaxTrackSize.y = info->ptMaxSize.y = m_szMax.cy;
      return 1;
    }
    case WM_CREATE:
    case WM_DESTROY:
    case WM_SIZE:
    case WM_CHAR:
    case WM_MOUSEHOVER:
      return 1;
    case WM_NCACTIVATE:
      handled = OnNcActivate(static_cast<BOOL>(wparam));
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      handled = OnKeyDown(flags, LOWORD(lparam), HIWORD(lparam));
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      handled = OnKeyUp(flags, LOWORD(lparam), HIWORD(lparam));
      break;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      // Reflected to the child control that sent it, as OCM_ messages.
      if (lparam == 0) return 0;
      return ::SendMessageW(reinterpret_cast<HWND>(lparam), msg + 0x2000, wparam, lparam);
    case WM_TIMER:
      OnTimer(static_cast<UINT>(wparam));
      return 0;
    case WM_MOUSEMOVE:
      handled = OnMouseMove(flags, PointOf(lparam));
      break;
    case WM_LBUTTONDOWN:
      handled = OnLButtonDown(flags, PointOf(lparam));
      break;
    case WM_LBUTTONUP:
      handled = OnLButtonUp(flags, PointOf(lparam));
      break;
    case WM_LBUTTONDBLCLK:
      handled = OnLButtonDblClk(flags, PointOf(lparam));
      break;
    case WM_RBUTTONDOWN:
      handled = OnRButtonDown(flags, PointOf(lparam));
      break;
    case WM_RBUTTONUP:
      handled = OnRButtonUp(flags, PointOf(lparam));
      break;
    case WM_RBUTTONDBLCLK:
      handled = OnRButtonDblClk(flags, PointOf(lparam));
      break;
    case WM_MOUSEWHEEL:
      handled = OnMouseWheel(GET_KEYSTATE_WPARAM(wparam), GET_WHEEL_DELTA_WPARAM(wparam),
                             PointOf(lparam));
      break;
    case WM_MOUSELEAVE:
      handled = OnMouseLeave();
      break;
    default:
      return 0;
  }
  return handled ? 1 : 0;
}

int PaintManager::PreTranslateMessage(MSG* msg) {
  if (msg == nullptr || !IsLive()) return 0;
  // Only this window's messages: the thread's loop also carries other windows' keys.
  if (msg->hwnd != m_window.hwnd() && !::IsChild(m_window.hwnd(), msg->hwnd)) return 0;
  if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && msg->wParam == VK_TAB)
    return m_input.MoveFocusByTab() ? 1 : 0;
  if (IsMouseMessage(msg->message) && m_hToolTip && ::IsWindow(m_hToolTip))
    ::SendMessageW(m_hToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
  return 0;
}

// ---- input: the router's ----

void PaintManager::SetFocusControl(MControl* control) { m_input.SetFocus(control); }
MControl* PaintManager::GetNextFocusableControl() { return m_input.FindFocusable(true); }
MControl* PaintManager::GetPrevFocusableControl() { return m_input.FindFocusable(false); }

int PaintManager::OnMouseMove(UINT flags, CPoint point) {
  return m_input.OnMouseMove(flags, point);
}

int PaintManager::OnLButtonDown(UINT flags, CPoint point) {
  return m_input.OnLButtonDown(flags, point);
}

int PaintManager::OnLButtonUp(UINT flags, CPoint point) {
  return m_input.OnLButtonUp(flags, point);
}

int PaintManager::OnLButtonDblClk(UINT flags, CPoint point) {
  return m_input.OnLButtonDblClk(flags, point);
}

int PaintManager::OnRButtonDown(UINT flags, CPoint point) {
  return m_input.OnRButtonDown(flags, point);
}

int PaintManager::OnRButtonUp(UINT flags, CPoint point) {
  return m_input.OnRButtonUp(flags, point);
}

int PaintManager::OnRButtonDblClk(UINT flags, CPoint point) {
  return m_input.OnRButtonDblClk(flags, point);
}

int PaintManager::OnMouseLeave() { return m_input.OnMouseLeave(); }

int PaintManager::OnMouseWheel(UINT, short delta, CPoint screen_point) {
  return m_input.OnMouseWheel(delta, screen_point);
}

int PaintManager::OnKeyDown(UINT key, UINT, UINT) { return m_input.OnKeyDown(key); }

int PaintManager::OnKeyUp(UINT, UINT, UINT) { return 0; }

// ---- activation and placement ----

int PaintManager::OnNcActivate(BOOL active) {
  if (!active) m_input.Deactivate();
  if (m_window.IsLayered())
    InvalidateRect(nullptr, TRUE);
  else
    Invalidate();
  return 1;
}

int PaintManager::OnWindowPosChanged(WINDOWPOS* pos) {
  // Re-applying the frame sends WM_WINDOWPOSCHANGED again; that nested call ends here.
  if (!IsLive() || m_bInPosChanged) return 1;
  m_bInPosChanged = 1;
  ::SetWindowPos(m_window.hwnd(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOSENDCHANGING);
  if (pos) {
    SendMessageW(WM_MOVE, 0, MAKELPARAM(pos->x, pos->y));
    SendMessageW(WM_SIZE, 0, MAKELPARAM(pos->cx, pos->cy));
  }
  m_bInPosChanged = 0;
  return 1;
}

}  // namespace Zentu
