// PaintManager: the window message step and the input state machine (hover, press, focus).
#include "ui/paint/paint_manager.h"

#include <windowsx.h>
#include <commctrl.h>

#include "ui/controls/mcontrol.h"
#include "ui/paint/paint_cache.h"
#include "ui/paint/paint_math.h"

namespace Zentu {
namespace {

const CPoint kNowhere(-1, -1);

unsigned CurrentModifierCode() {
  auto down = [](int key) { return (::GetKeyState(key) & 0x8000) != 0; };
  return paint_math::ModifierCode(down(VK_MENU), down(VK_SHIFT), down(VK_CONTROL));
}

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
  // Shown again, moved, resized or restyled, the window may have dropped (or never shown)
  // the layered picture it was given last.
  if (m_pPaintCache &&
      (msg == WM_SHOWWINDOW || msg == WM_WINDOWPOSCHANGED || msg == WM_STYLECHANGED))
    m_pPaintCache->ForgetPresented();
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
  if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) && msg->wParam == VK_TAB) {
    const unsigned code = CurrentModifierCode();
    MControl* next = nullptr;
    if (code == 0)
      next = GetNextFocusableControl();
    else if (code == paint_math::kModifierShift)
      next = GetPrevFocusableControl();
    else
      return 0;
    if (next == m_pFocusControl) return 0;
    SetFocusControl(next);
    return 1;
  }
  if (IsMouseMessage(msg->message) && m_hToolTip && ::IsWindow(m_hToolTip))
    ::SendMessageW(m_hToolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
  return 0;
}

// ---- focus ----

void PaintManager::SetFocusControl(MControl* control) {
  if (control == m_pFocusControl) return;
  if (m_pFocusControl) m_pFocusControl->SetControlFocus(0);
  if (control) control->SetControlFocus(1);
  m_pFocusControl = control;
}

MControl* PaintManager::FindFocusable(bool forward) {
  const std::vector<MControl*> controls = m_tree.Snapshot(ControlTree::kControls);
  std::vector<bool> focusable;
  focusable.reserve(controls.size());
  int current = -1;
  for (size_t i = 0; i < controls.size(); ++i) {
    MControl* control = controls[i];
    focusable.push_back(control->IsVisible() && control->IsEnabled() && control->IsTabStop());
    if (control == m_pFocusControl) current = static_cast<int>(i);
  }
  const bool listed = m_pFocusControl == nullptr || current >= 0;
  const auto found = paint_math::NextFocusIndex(focusable, current, listed, forward);
  if (!found) return nullptr;
  // The answer came from the wrap-around scan: that scan also gives a missing hover
  // control the first list entry.
  const bool wrapped = current < 0 || (forward ? *found <= current : *found >= current);
  if (wrapped && m_pHoverControl == nullptr && !controls.empty())
    m_pHoverControl = controls.front();
  return controls[*found];
}

MControl* PaintManager::GetNextFocusableControl() { return FindFocusable(true); }
MControl* PaintManager::GetPrevFocusableControl() { return FindFocusable(false); }

// ---- mouse ----

void PaintManager::TrackMouse() {
  if (m_bMouseTracking || !IsLive()) return;
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_HOVER | TME_LEAVE;
  track.hwndTrack = m_window.hwnd();
  track.dwHoverTime = 400;
  m_bMouseTracking = ::TrackMouseEvent(&track) ? 1 : 0;
}

int PaintManager::OnMouseMove(UINT flags, CPoint point) {
  WalkScope walk(m_tree);
  TrackMouse();
  if (m_bDragArmed && (flags & MK_LBUTTON)) {
    if (paint_math::DragThresholdPassed(CPoint(m_ptDragStart), point, ::GetSystemMetrics(SM_CXDRAG),
                                        ::GetSystemMetrics(SM_CYDRAG))) {
      StartControlDrag();
      return 1;
    }
  }
  MControl* hover = m_pHoverControl;
  if (hover && hover->PtInRect(point) && hover->OnCheckMouseResponse(flags, point) &&
      m_bMouseTracking) {
    hover->OnMouseMove(flags, point);
    return 1;
  }
  ClearTooltip();
  if (m_bPressed) return 1;
  if (!m_bMouseTracking) {
    m_pHoverControl = nullptr;
    return 1;
  }
  MControl* found = nullptr;
  m_tree.Walk(ControlTree::kControls, [&](MControl* control) {
    control->OnMouseMove(flags, point);
    // Its handler may have removed it: a removed control never becomes the hover one.
    if (m_tree.IsListed(ControlTree::kControls, control) && control->PtInRect(point) &&
        control->GetRresponse())
      found = control;
    return false;
  });
  m_pHoverControl = found && m_tree.IsListed(ControlTree::kControls, found) ? found : nullptr;
  return 1;
}

int PaintManager::OnLButtonDown(UINT flags, CPoint point) {
  WalkScope walk(m_tree);
  if (m_pFocusControl && m_pFocusControl != m_pHoverControl) {
    m_pFocusControl->SetControlFocus(0);
    m_pFocusControl = nullptr;
  }
  MControl* hover = m_pHoverControl;
  if (hover && hover->IsVisible() && hover->GetRresponse() && hover->PtInRect(point) &&
      hover->OnCheckMouseResponse(flags, point)) {
    if (hover->IsDragDrop() && hover->IsEnabled()) {
      m_bDragArmed = 1;
      m_ptDragStart = point;
      if (m_hDragBitmap) ::DeleteObject(m_hDragBitmap);
      m_hDragBitmap = hover->GetDropBitmap();
    }
    m_bPressed = 1;
    m_pFocusControl = hover;
    const int result = hover->OnLButtonDown(flags, point);
    if (!m_bCaptured && m_pHoverControl && m_pHoverControl->OnCheckMouseResponse(flags, point)) {
      SetCapture();
      m_bCaptured = 1;
      return 1;
    }
    if (result) return 1;
  }
  if (m_bWndDrag) {
    ReleaseCapture();
    // The system's move loop starts from the caption hit; it wants screen coordinates.
    POINT screen = point;
    if (IsLive()) ::ClientToScreen(m_window.hwnd(), &screen);
    SendMessageW(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
  }
  return 1;
}

// A release or double click goes to the hover control, which stays the hover control only
// while the pointer is still over where it was.
void PaintManager::DeliverToHover(int (MControl::*event)(unsigned, CPoint), UINT flags,
                                  CPoint point) {
  WalkScope walk(m_tree);
  MControl* hover = m_pHoverControl;
  if (!hover || !hover->IsVisible() || !hover->GetRresponse()) {
    m_pHoverControl = nullptr;
    return;
  }
  const CRect before = hover->GetRect();
  (hover->*event)(flags, point);
  if (!before.PtInRect(point) && m_pHoverControl == hover) m_pHoverControl = nullptr;
}

int PaintManager::OnLButtonUp(UINT flags, CPoint point) {
  if (m_bCaptured) ReleaseCapture();
  m_bPressed = 0;
  m_bDragArmed = 0;
  DeliverToHover(&MControl::OnLButtonUp, flags, point);
  return 1;
}

int PaintManager::OnLButtonDblClk(UINT flags, CPoint point) {
  DeliverToHover(&MControl::OnLButtonDblClk, flags, point);
  return 1;
}

int PaintManager::OnRButtonDown(UINT flags, CPoint point) {
  WalkScope walk(m_tree);
  if (m_pFocusControl && m_pFocusControl != m_pHoverControl) {
    m_pFocusControl->SetControlFocus(0);
    m_pFocusControl = nullptr;
  }
  MControl* hover = m_pHoverControl;
  if (hover && hover->IsVisible() && hover->GetRresponse() && hover->PtInRect(point) &&
      hover->OnCheckMouseResponse(flags, point)) {
    m_pFocusControl = hover;
    hover->OnRButtonDown(flags, point);
    if (!m_bCaptured && m_pHoverControl && m_pHoverControl->OnCheckMouseResponse(flags, point)) {
      SetCapture();
      m_bCaptured = 1;
    }
  }
  return 1;
}

int PaintManager::OnRButtonUp(UINT flags, CPoint point) {
  if (m_bCaptured) ReleaseCapture();
  m_bPressed = 0;
  DeliverToHover(&MControl::OnRButtonUp, flags, point);
  return 1;
}

int PaintManager::OnRButtonDblClk(UINT flags, CPoint point) {
  DeliverToHover(&MControl::OnRButtonDblClk, flags, point);
  return 1;
}

int PaintManager::OnMouseLeave() {
  WalkScope walk(m_tree);
  ClearTooltip();
  m_bMouseTracking = 0;
  if (!m_bPressed) {
    if (MControl* hover = m_pHoverControl) hover->OnMouseMove(0, kNowhere);
    m_pHoverControl = nullptr;
  }
  return 1;
}

int PaintManager::OnMouseWheel(UINT, short delta, CPoint screen_point) {
  WalkScope walk(m_tree);
  POINT point = screen_point;
  if (IsLive()) ::ScreenToClient(m_window.hwnd(), &point);
  const paint_math::WheelSteps steps = paint_math::SplitWheelDelta(delta);
  int any = 0;
  for (int notch = 0; notch < steps.notches; ++notch) {
    int handled = m_pHoverControl ? m_pHoverControl->OnScroll(1, steps.direction, point) : 0;
    if (!handled)
      handled = m_tree.Walk(ControlTree::kControls, [&](MControl* control) {
        return control->OnScroll(1, steps.direction, point) != 0;
      });
    if (handled) any = 1;
  }
  return any;
}

// ---- keys and activation ----

int PaintManager::OnKeyDown(UINT key, UINT, UINT) {
  WalkScope walk(m_tree);
  const unsigned code = CurrentModifierCode();
  if (m_pHoverControl && m_pHoverControl->OnKeyDown(key, 1, code)) return 1;
  m_tree.Walk(ControlTree::kControls,
              [&](MControl* control) { return control->OnKeyDown(key, 1, code) != 0; });
  return 1;
}

int PaintManager::OnKeyUp(UINT, UINT, UINT) { return 0; }

int PaintManager::OnNcActivate(BOOL active) {
  WalkScope walk(m_tree);
  if (!active) {
    m_bMouseTracking = 0;
    m_bCaptured = 0;
    MControl* hover = m_pHoverControl;
    if (m_bPressed) {
      m_bPressed = 0;
      if (hover) hover->OnLButtonUp(0, kNowhere);
    } else if (hover) {
      hover->OnMouseMove(0, kNowhere);
    }
    m_pHoverControl = nullptr;
  }
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
