// PaintManager: the window message step; input goes on to the input router.
#include "ui/paint/paint_manager.h"

#include <windowsx.h>
#include <commctrl.h>

#include <optional>

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

// Only the positive limits apply.
void ApplySizeLimits(MINMAXINFO& info, SIZE min, SIZE max) {
  if (min.cx > 0) info.ptMinTrackSize.x = min.cx;
  if (min.cy > 0) info.ptMinTrackSize.y = min.cy;
  if (max.cx > 0) info.ptMaxTrackSize.x = info.ptMaxSize.x = max.cx;
  if (max.cy > 0) info.ptMaxTrackSize.y = info.ptMaxSize.y = max.cy;
}

// The mouse messages, to the manager's handlers (and from there the input router); nothing
// for any other message.
std::optional<int> RouteMouse(PaintManager& manager, UINT msg, WPARAM wparam, LPARAM lparam) {
  const UINT flags = static_cast<UINT>(wparam);
  switch (msg) {
    case WM_MOUSEMOVE:
      return manager.OnMouseMove(flags, PointOf(lparam));
    case WM_LBUTTONDOWN:
      return manager.OnLButtonDown(flags, PointOf(lparam));
    case WM_LBUTTONUP:
      return manager.OnLButtonUp(flags, PointOf(lparam));
    case WM_LBUTTONDBLCLK:
      return manager.OnLButtonDblClk(flags, PointOf(lparam));
    case WM_RBUTTONDOWN:
      return manager.OnRButtonDown(flags, PointOf(lparam));
    case WM_RBUTTONUP:
      return manager.OnRButtonUp(flags, PointOf(lparam));
    case WM_RBUTTONDBLCLK:
      return manager.OnRButtonDblClk(flags, PointOf(lparam));
    case WM_MOUSEWHEEL:
      return manager.OnMouseWheel(GET_KEYSTATE_WPARAM(wparam), GET_WHEEL_DELTA_WPARAM(wparam),
                                  PointOf(lparam));
    case WM_MOUSELEAVE:
      return manager.OnMouseLeave();
    default:
      return std::nullopt;
  }
}

// Painting, activation and keys; nothing for any other message.
std::optional<int> RouteWindowState(PaintManager& manager, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_PAINT:
      return manager.OnPaint();
    case WM_NCACTIVATE:
      return manager.OnNcActivate(static_cast<BOOL>(wparam));
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return manager.OnKeyDown(static_cast<UINT>(wparam), LOWORD(lparam), HIWORD(lparam));
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return manager.OnKeyUp(static_cast<UINT>(wparam), LOWORD(lparam), HIWORD(lparam));
    default:
      return std::nullopt;
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
  switch (msg) {
    case WM_GETMINMAXINFO:
      if (lparam != 0) ApplySizeLimits(*reinterpret_cast<MINMAXINFO*>(lparam), m_szMin, m_szMax);
      return 1;
    case WM_CREATE:
    case WM_DESTROY:
    case WM_SIZE:
    case WM_CHAR:
    case WM_MOUSEHOVER:
      return 1;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      // Reflected to the child control that sent it, as OCM_ messages.
      if (lparam == 0) return 0;
      return ::SendMessageW(reinterpret_cast<HWND>(lparam), msg + 0x2000, wparam, lparam);
    case WM_TIMER:
      OnTimer(static_cast<UINT>(wparam));
      return 0;
    default:
      break;
  }
  std::optional<int> handled = RouteMouse(*this, msg, wparam, lparam);
  if (!handled) handled = RouteWindowState(*this, msg, wparam, lparam);
  return handled.value_or(0) ? 1 : 0;
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
