// MControl: identity, state, child lists, input routing, repaint requests and cached pictures.
#include "ui/controls/mcontrol.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "ui/controls/control_math.h"
#include "ui/paint/critical_section.h"
#include "ui/paint/mrender.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {
namespace {

bool Overlaps(const CRect& a, const CRect& b) {
  CRect r;
  return r.IntersectRect(a, b);
}

// Index walks that re-read the size each step: a handler may add or remove children of the
// list being walked (the locks are recursive), and an iterator would then dangle.
template <class Fn>
void ForEach(std::vector<MControl*>& list, CRITICAL_SECTION& lock, Fn&& fn) {
  ScopedLock guard(lock);
  for (size_t i = 0; i < list.size(); ++i) {
    if (MControl* c = list[i]) {
      if (!fn(c)) break;
    }
  }
}

}  // namespace

// ---------------------------------------------------------------- cached pictures

void MControl::CachedImage::Release() {
  if (dc && previous) ::SelectObject(dc, previous);  // the DC's own bitmap goes back in first
  if (bitmap) ::DeleteObject(bitmap);
  if (dc) ::DeleteDC(dc);
  bitmap = nullptr;
  dc = nullptr;
  previous = nullptr;
  width = height = 0;
}

bool MControl::CachedImage::Rebuild(HDC compatible_with, int w, int h) {
  Release();
  if (w <= 0 || h <= 0) return false;
  dc = ::CreateCompatibleDC(compatible_with);
  if (!dc) return false;
  // Always a 32-bit DIB, whatever the target: the alpha channel of a layered window's
  // surface must survive the copy into the cache and back.
  BYTE* bits = nullptr;
  bitmap = MRender::CreateARGB32Bitmap(dc, w, h, &bits);
  if (!bitmap) {
    Release();
    return false;
  }
  previous = ::SelectObject(dc, bitmap);
  width = w;
  height = h;
  return true;
}

// ---------------------------------------------------------------- life

MControl::MControl(MObject* parent, unsigned id, CRect rect, int visible, int enabled, int response)
    : m_pParent(parent),
      m_uID(id),
      m_rect(rect),
      m_bVisible(visible),
      m_bEnabled(enabled),
      m_bResponse(response) {
  InitializeLocks({&m_underLock, &m_childLock});
}

MControl::~MControl() {
  m_pMouseChild = nullptr;
  DeleteList(m_children, m_childLock);
  DeleteList(m_underLayers, m_underLock);
  m_mem.Release();
  m_anim.Release();
  DeleteLocks({&m_underLock, &m_childLock});
}

const wchar_t* MControl::GetClassNameW() const { return L"MControl"; }

void MControl::DeleteList(std::vector<MControl*>& list, CRITICAL_SECTION& lock, bool dispose) {
  std::vector<MControl*> doomed;
  {
    ScopedLock guard(lock);
    doomed.swap(list);
  }
  for (MControl* c : doomed) {
    if (dispose && m_pManager)
      m_pManager->DisposeControl(c, this);
    else
      delete c;
  }
}

bool MControl::IsChild(const MControl* control) const {
  return std::find(m_children.begin(), m_children.end(), control) != m_children.end();
}

bool MControl::Contains(const MControl* control) const {
  if (!control) return false;
  if (control == this) return true;
  for (const MControl* c : m_children)
    if (c && c->Contains(control)) return true;
  for (const MControl* c : m_underLayers)
    if (c && c->Contains(control)) return true;
  return false;
}

// ---------------------------------------------------------------- default virtuals

void MControl::InitControl(PaintManager*) {}

int MControl::PtInRect(CPoint point) { return m_bVisible && m_rect.PtInRect(point) ? 1 : 0; }

int MControl::DrawSubControls(HDC& dc, CRect clip) {
  ForEach(m_children, m_childLock, [&](MControl* c) {
    if (c->IsVisible()) c->Draw(dc, clip);
    return true;
  });
  return 1;
}

int MControl::IsDraw(CPoint) { return 0; }

void MControl::SetUpdate(int up_to_date, unsigned long background) {
  m_bUpdate = up_to_date;
  // Children are painted over this control's picture; the under-layers lie below it and
  // keep theirs. Walked without the lock, as the callers (repaint requests) may hold others.
  for (size_t i = 0; i < m_children.size(); ++i) {
    MControl* c = m_children[i];
    if (c && Overlaps(c->GetRect(), m_rect)) c->SetUpdate(up_to_date, background);
  }
}

int MControl::SetControlFocus(int focus) {
  m_bFocused = focus;
  if (!focus) {
    ForEach(m_children, m_childLock, [](MControl* c) {
      c->SetControlFocus(0);
      return true;
    });
  }
  return 0;
}

void MControl::InitUI(CRect) {}
int MControl::OnMousePointChange(CPoint&) { return 0; }
int MControl::OnCheckMouseResponse(unsigned, CPoint) { return 1; }
long MControl::OnWindowMessage(unsigned, unsigned, long) { return 0; }
long MControl::OnMessage(unsigned, unsigned, unsigned, long) { return 0; }
void MControl::SetControlRect(CRect rect) { m_rect = rect; }
void MControl::SetControlVisible(int visible) { m_bVisible = visible; }
void MControl::SetControlWndVisible(int) {}
void MControl::SetControlEnabled(int enabled) { m_bEnabled = enabled; }
int MControl::OnControlTimer() { return 0; }
HBITMAP MControl::GetControlDropBitmap() { return nullptr; }
int MControl::OnControlMouseMove(unsigned, CPoint) { return 0; }

int MControl::OnControlSetCursor(unsigned, CPoint point) {
  if (!m_hCursor || !m_rect.PtInRect(point)) return 0;
  ::SetCursor(m_hCursor);
  return 1;
}

int MControl::OnControlLButtonDown(unsigned, CPoint) { return 0; }
int MControl::OnControlLButtonUp(unsigned, CPoint) { return 0; }
int MControl::OnControlLButtonDblClk(unsigned, CPoint) { return 0; }
int MControl::OnControlScroll(int, unsigned, CPoint) { return 0; }
int MControl::OnControlRButtonDown(unsigned, CPoint) { return 0; }
int MControl::OnControlRButtonUp(unsigned, CPoint) { return 0; }
int MControl::OnControlRButtonDblClk(unsigned, CPoint) { return 0; }

int MControl::OnControlKeyDown(unsigned key, unsigned, unsigned flags) {
  return m_uHotKey != 0 && key == m_uHotKey && flags == m_uHotKeyFlags ? 1 : 0;
}

void MControl::OnPositionChange() {}

void MControl::InvalidateRect(const RECT*, int erase) {
  // The manager invalidates a layered window whole, with erasing.
  if (m_pManager) m_pManager->InvalidateRect(&m_rect, erase);
}

// ---------------------------------------------------------------- state setters

void MControl::SetManager(PaintManager* manager) {
  m_pManager = manager;
  InitControl(manager);
  // Children added before the manager was known get it now.
  ForEach(m_children, m_childLock, [&](MControl* c) {
    if (c->GetManager() != manager) c->SetManager(manager);
    return true;
  });
  ForEach(m_underLayers, m_underLock, [&](MControl* c) {
    if (c->GetManager() != manager) c->SetManager(manager);
    return true;
  });
}

void MControl::SetVisible(int visible) {
  if ((visible != 0) == (m_bVisible != 0)) return;
  SetControlVisible(visible);
  UpdateControl(1, 1);
}

void MControl::SetVisible(int visible, int repaint) {
  if ((visible != 0) == (m_bVisible != 0)) return;
  SetControlVisible(visible);
  if (repaint) UpdateControl(1, 1);
}

void MControl::SetEnabled(int enabled) {
  if ((enabled != 0) == (m_bEnabled != 0)) return;
  SetControlEnabled(enabled);
  UpdateControl(1, 0);
}

void MControl::SetRect(CRect rect) {
  const CRect before = m_rect;
  SetControlRect(rect);
  if (m_bVisible) UpdateControl(MoveRepaintRect(before, m_rect), 0, 1);
}

void MControl::SetRect(int x, int y, int width, int height) {
  SetRect(CRect(x, y, detail::Sum(x, width), detail::Sum(y, height)));
}

// ---------------------------------------------------------------- repaint requests

void MControl::UpdateControl(int flag, int force) { UpdateControl(m_rect, force, flag); }

void MControl::UpdateControl(CRect rect, int force, int flag) {
  if ((m_bVisible || force) && m_pParent) m_pParent->OnControlUpdate(rect, flag, this);
}

void MControl::UpdateAControl(int animate, int force) {
  m_bAnimating = !animate;
  UpdateControl(0, force);
}

long MControl::SendMessageW(unsigned code, unsigned wparam, long lparam) {
  return m_pParent ? m_pParent->OnBaseMessage(m_uID, code, wparam, lparam) : 0;
}

long MControl::OnControlUpdate(CRect rect, int flag, MControl* control) {
  // A child's request: the same rule as the manager's at this level (the requester and the
  // later siblings over it lose their pictures), then the request goes up for this control.
  if (!control) return 0;
  const unsigned long background = m_pManager ? m_pManager->GetBackColor() : 0;
  if (flag) control->SetUpdate(0, background);
  CRect dirty = rect;
  auto discard_later = [&](std::vector<MControl*>& list, CRITICAL_SECTION& lock, bool& met) {
    ForEach(list, lock, [&](MControl* c) {
      if (c == control) {
        met = true;
      } else if (met && c->IsVisible() && Overlaps(c->GetRect(), rect)) {
        c->SetUpdate(0, background);
        dirty |= c->GetRect();
      }
      return true;
    });
  };
  bool met = false;
  discard_later(m_underLayers, m_underLock, met);
  // An under-layer shows through this control's own picture, which copied it in as its
  // background: that picture (and the children over it) must be rebuilt too.
  const int own_flag = met ? 1 : 0;
  if (met) dirty |= m_rect;
  discard_later(m_children, m_childLock, met);
  return m_pParent ? m_pParent->OnControlUpdate(dirty, own_flag, this) : 0;
}

// ---------------------------------------------------------------- children

void MControl::AddControl(MControl* control) {
  if (!control || control == this) return;
  control->SetParent(this);
  {
    ScopedLock guard(m_childLock);
    m_children.push_back(control);
  }
  if (m_pManager && control->GetManager() != m_pManager) control->SetManager(m_pManager);
}

void MControl::AddUnderControl(MControl* control) {
  if (!control || control == this) return;
  control->SetParent(this);
  {
    ScopedLock guard(m_underLock);
    m_underLayers.push_back(control);
  }
  if (m_pManager && control->GetManager() != m_pManager) control->SetManager(m_pManager);
}

MControl* MControl::GetControl(unsigned id) {
  for (std::vector<MControl*>* list : {&m_children, &m_underLayers}) {
    for (size_t i = 0; i < list->size(); ++i) {
      MControl* c = (*list)[i];
      if (!c) continue;
      if (c->GetControlID() == id) return c;
      if (MControl* found = c->GetControl(id)) return found;
    }
  }
  return nullptr;
}

int MControl::RemoveControl(MControl* control) {
  if (!control) return 0;
  bool found = false;
  for (auto [list, lock] :
       {std::pair{&m_children, &m_childLock}, std::pair{&m_underLayers, &m_underLock}}) {
    ScopedLock guard(*lock);
    auto it = std::find(list->begin(), list->end(), control);
    if (it != list->end()) {
      list->erase(it);
      found = true;
      break;
    }
  }
  // Only our own children are deleted: anything else is someone else's to free.
  if (!found) return 0;
  if (m_pMouseChild == control) m_pMouseChild = nullptr;
  if (m_pManager && control->Contains(m_pManager->GetFocusControl())) {
    // SetFocusControl tells the old focus SetControlFocus(0) before clearing it.
    m_pManager->SetFocusControl(nullptr);
  }
  // The manager also stops its timers, and waits for a tick or walk running inside it.
  if (m_pManager)
    m_pManager->DisposeControl(control, this);
  else
    delete control;
  return 0;
}

void MControl::RemoveAllControl() {
  m_pMouseChild = nullptr;
  if (m_pManager) {
    MControl* focus = m_pManager->GetFocusControl();
    if (focus && focus != this && Contains(focus)) m_pManager->SetFocusControl(nullptr);
  }
  DeleteList(m_children, m_childLock, true);
  DeleteList(m_underLayers, m_underLock, true);
}

// ---------------------------------------------------------------- input routing

CPoint MControl::PointForChild(const MControl* child, CPoint outer, CPoint inner) {
  const unsigned id = child->GetControlID();
  return id == 1 || id == 2 ? outer : inner;
}

void MControl::BecomeManagerFocus() {
  if (!m_pManager) return;
  if (m_pManager->GetFocusControl() != this) {
    m_pManager->SetFocusControl(this);  // old focus SetControlFocus(0), this one (1)
  } else {
    // The manager's own press handling stores its focus control without telling it.
    SetControlFocus(1);
  }
}

int MControl::RouteButtonDown(bool left, unsigned flags, CPoint point) {
  if (!TakesMouse()) return 0;
  CPoint inner = point;
  OnMousePointChange(inner);
  m_bPressedInside = m_rect.PtInRect(point) ? 1 : 0;
  ForEach(m_children, m_childLock, [&](MControl* c) {
    if (c->PtInRect(PointForChild(c, point, inner)) && c->IsEnabled() && c->GetRresponse())
      m_pMouseChild = c;
    return true;
  });
  if (MControl* child = m_pMouseChild) {
    const CPoint pc = PointForChild(child, point, inner);
    return (left ? child->OnLButtonDown(flags, pc) : child->OnRButtonDown(flags, pc)) ? 1 : 0;
  }
  BecomeManagerFocus();
  return left ? OnControlLButtonDown(flags, point) : OnControlRButtonDown(flags, point);
}

int MControl::RouteButtonUp(bool left, unsigned flags, CPoint point) {
  if (!TakesMouse()) return 0;
  CPoint inner = point;
  OnMousePointChange(inner);
  m_bPressedInside = 0;
  if (MControl* child = m_pMouseChild) {
    const CPoint pc = PointForChild(child, point, inner);
    return (left ? child->OnLButtonUp(flags, pc) : child->OnRButtonUp(flags, pc)) ? 1 : 0;
  }
  return left ? OnControlLButtonUp(flags, point) : OnControlRButtonUp(flags, point);
}

int MControl::RouteDblClk(bool left, unsigned flags, CPoint point) {
  if (!TakesMouse()) return 0;
  CPoint inner = point;
  OnMousePointChange(inner);
  m_bPressedInside = 0;
  if (MControl* child = m_pMouseChild) {
    const CPoint pc = PointForChild(child, point, inner);
    int r = left ? child->OnLButtonDblClk(flags, pc) : child->OnRButtonDblClk(flags, pc);
    if (!r && !child->GetDblClk())
      r = left ? child->OnLButtonDown(flags, pc) : child->OnRButtonDown(flags, pc);
    return r ? 1 : 0;
  }
  if (!m_bDblClk)
    return left ? OnControlLButtonDown(flags, point) : OnControlRButtonDown(flags, point);
  if (left && m_bNotifyDblClk && m_rect.PtInRect(point)) {
    SendMessageW(kControlEventDblClk, flags, static_cast<long>(reinterpret_cast<intptr_t>(&point)));
  }
  return left ? OnControlLButtonDblClk(flags, point) : OnControlRButtonDblClk(flags, point);
}

int MControl::OnLButtonDown(unsigned flags, CPoint point) {
  return RouteButtonDown(true, flags, point);
}
int MControl::OnRButtonDown(unsigned flags, CPoint point) {
  return RouteButtonDown(false, flags, point);
}
int MControl::OnLButtonUp(unsigned flags, CPoint point) {
  return RouteButtonUp(true, flags, point);
}
int MControl::OnRButtonUp(unsigned flags, CPoint point) {
  return RouteButtonUp(false, flags, point);
}
int MControl::OnLButtonDblClk(unsigned flags, CPoint point) {
  return RouteDblClk(true, flags, point);
}
int MControl::OnRButtonDblClk(unsigned flags, CPoint point) {
  return RouteDblClk(false, flags, point);
}

int MControl::OnMouseMove(unsigned flags, CPoint point) {
  if (!TakesMouse()) return 0;
  CPoint inner = point;
  OnMousePointChange(inner);
  MControl* const before = m_pMouseChild;
  if (before) {
    const CPoint pc = PointForChild(before, point, inner);
    if (m_bPressedInside || (before->PtInRect(pc) && before->OnCheckMouseResponse(flags, pc))) {
      before->OnMouseMove(flags, pc);
      return 1;
    }
  }
  m_pMouseChild = nullptr;
  const bool inside = m_rect.PtInRect(point);
  if (!m_strTooltip.IsEmpty() && inside && OnCheckMouseResponse(flags, point) && m_pManager &&
      m_pManager->GetTooltipCtrlID() != static_cast<int>(m_uID)) {
    SetTooltip(m_strTooltip, m_rect);
  }
  OnControlSetCursor(flags, point);
  int result = OnControlMouseMove(flags, point);
  if (m_bTrackLeave) m_bOutside = inside ? 0 : 1;
  if (!m_bPressedInside) {
    ForEach(m_children, m_childLock, [&](MControl* c) {
      const CPoint pc = PointForChild(c, point, inner);
      if (c->OnMouseMove(flags, pc)) {
        result = 1;
        // Its handler may have removed it (and a removed child may be freed already).
        if (IsChild(c) && c->PtInRect(pc)) m_pMouseChild = c;
      }
      return true;
    });
  }
  return m_pMouseChild || before ? 1 : result;
}

int MControl::OnScroll(int delta, unsigned flags, CPoint point) {
  if (!m_bVisible || !m_bResponse || !m_bEnabled) return 0;
  CPoint inner = point;
  OnMousePointChange(inner);
  if (MControl* child = m_pMouseChild) {
    const CPoint pc = PointForChild(child, point, inner);
    if (child->PtInRect(pc) && child->OnCheckMouseResponse(flags, pc) &&
        child->OnScroll(delta, flags, pc))
      return 1;
  }
  if (m_rect.PtInRect(point) && OnControlScroll(delta, flags, point)) return 1;
  int taken = 0;
  ForEach(m_children, m_childLock, [&](MControl* c) {
    const CPoint pc = PointForChild(c, point, inner);
    if (c->PtInRect(pc) && c->OnScroll(delta, flags, pc)) taken = 1;
    return !taken;
  });
  return taken;
}

int MControl::OnKeyDown(unsigned key, unsigned repeat, unsigned flags) {
  if (!m_bVisible || !m_bResponse) return 0;
  MControl* focused = nullptr;
  ForEach(m_children, m_childLock, [&](MControl* c) {
    if (c->IsFocused()) focused = c;
    return focused == nullptr;
  });
  if (focused) return focused->OnKeyDown(key, repeat, flags);

  auto report = [&] {
    if (m_bNotifyKeys) SendMessageW(kControlEventKey, key, static_cast<long>(flags));
  };
  MControl* const mouse_child = m_pMouseChild;
  if (mouse_child && mouse_child->OnKeyDown(key, repeat, flags)) return 1;
  if (OnControlKeyDown(key, repeat, flags)) {
    report();
    return 1;
  }
  int taken = 0;
  ForEach(m_children, m_childLock, [&](MControl* c) {
    // The mouse child was asked first; asking it again would report the key twice.
    if (c != mouse_child && c->OnKeyDown(key, repeat, flags)) taken = 1;
    return !taken;
  });
  report();
  return taken;
}

int MControl::OnKeyUp(unsigned, unsigned, unsigned) { return 0; }

int MControl::OnTimer() {
  int result = OnControlTimer() ? 1 : 0;
  ForEach(m_children, m_childLock, [&](MControl* c) {
    if (c->IsRunTimer() && c->IsVisible() && c->OnTimer()) result = 1;
    return true;
  });
  return result;
}

int MControl::OnFocus(int focus) { return SetControlFocus(focus); }

int MControl::IsFocusControl() const {
  return m_pManager && m_pManager->GetFocusControl() == this ? 1 : 0;
}

int MControl::PositionItem2Value(const FS_POSITION_ITEM& item, int low, int high) {
  return Zentu::PositionItem2Value(item, low, high);
}

// ---------------------------------------------------------------- timers, tips, cursor

int MControl::AddMTimer() { return m_pManager ? m_pManager->AddMTimer(this) : 0; }

void MControl::SetTooltip(CString text, CRect rect) {
  if (!m_pManager) return;
  m_pManager->SetTooltip(text, rect);
  m_pManager->SetTooltipCtrlID(static_cast<int>(m_uID));
}

void MControl::ClearTooltip() {
  if (!m_pManager) return;
  m_pManager->ClearTooltip();
  m_pManager->SetTooltipCtrlID(0);
}

void MControl::SetTooltip(const wchar_t* text) { m_strTooltip = text; }

int MControl::SetCursorEx(const wchar_t* name) {
  static constexpr struct {
    const wchar_t* name;
    WORD id;
  } kCursors[] = {{L"arrow", 32512},  {L"wait", 32514}, {L"cross", 32515}, {L"sizewe", 32644},
                  {L"sizens", 32645}, {L"hand", 32649}, {L"help", 32651}};
  if (!name) return 0;
  for (const auto& c : kCursors) {
    if (wcscmp(name, c.name) == 0) {
      m_hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(c.id));
      break;
    }
  }
  return 0;
}

// ---------------------------------------------------------------- drawing

void MControl::Draw(HDC& dc, CRect clip) {
  if (!m_bVisible || !Overlaps(m_rect, clip)) return;
  ForEach(m_underLayers, m_underLock, [&](MControl* c) {
    if (Overlaps(c->GetRect(), m_rect)) c->Draw(dc, clip);
    return true;
  });
  DrawControl(dc, clip);
  DrawSubControls(dc, clip);
}

void MControl::UpdateMemDC(HDC& dc, int width, int height) {
  m_bUpdate = 1;
  if (m_mem.dc && width == m_mem.width && height == m_mem.height) return;
  m_mem.Rebuild(dc, width, height);
}

HDC MControl::BeginCachedDraw(HDC& dc) {
  const int width = m_rect.Width(), height = m_rect.Height();
  if (m_bUpdate || width <= 0 || height <= 0) return nullptr;
  UpdateMemDC(dc, width, height);
  if (m_mem.dc) MRender::BitBlt(m_mem.dc, 0, 0, width, height, dc, m_rect.left, m_rect.top);
  return m_mem.dc;
}

void MControl::EndCachedDraw(HDC& dc) {
  if (m_mem.dc)
    MRender::BitBlt(dc, m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), m_mem.dc, 0, 0);
}

void MControl::UpdateAnimateDC(HDC& dc, int width, int height) {
  m_anim.Rebuild(dc, width, height);
  m_bAnimating = 1;
}

}  // namespace Zentu
