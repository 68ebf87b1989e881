// Caret: the blinking caret a paint manager draws for the editing control that owns it.
#include "ui/paint/caret.h"

// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include "ui/controls/mcontrol.h"
#include "ui/paint/paint_window.h"

namespace Zentu {

int Caret::Create(HBITMAP bitmap, int width, int height) {
  window_.ui_thread().Check();
  if (window_.IsLive()) ::CreateCaret(window_.hwnd(), bitmap, width, height);
  rect_.right = rect_.left + width;
  rect_.bottom = rect_.top + height;
  return 1;
}

int Caret::SetPos(MControlFont* owner, int x, int y) {
  window_.ui_thread().Check();
  if (!::SetCaretPos(x, y)) return 0;
  owner_ = owner;
  window_.InvalidateRect(&rect_, FALSE);
  rect_ = CRect(x, y, x + rect_.Width(), y + rect_.Height());
  window_.InvalidateRect(&rect_, FALSE);
  return 1;
}

int Caret::Show(int show) {
  window_.ui_thread().Check();
  if ((show != 0) == (shown_ != 0)) return 1;
  shown_ = show ? 1 : 0;
  if (show) {
    window_.StartTimer(kBlinkTimer, ::GetCaretBlinkTime());
    if (!lit_) window_.InvalidateRect(&rect_, FALSE);
    lit_ = 1;
  } else {
    StopBlink();
  }
  return 1;
}

bool Caret::OnTimer(UINT id) {
  if (id != kBlinkTimer) return false;
  window_.InvalidateRect(&rect_, FALSE);
  lit_ = !lit_;
  return true;
}

void Caret::StopBlink() {
  window_.StopTimer(kBlinkTimer);
  if (lit_) window_.InvalidateRect(&rect_, FALSE);
  lit_ = 0;
}

void Caret::Draw(HDC dc, const CRect& clip) {
  if (!shown_ && !lit_) return;  // no caret: nothing blinks
  if ((owner_ && !owner_->IsFocused()) || !window_.IsLive() || ::GetFocus() != window_.hwnd()) {
    StopBlink();
    return;
  }
  CRect part;
  if (!lit_ || !shown_ || !owner_ || !part.IntersectRect(rect_, clip)) return;
  Gdiplus::Graphics graphics(dc);
  Gdiplus::SolidBrush brush(
      Gdiplus::Color((owner_->GetTextColor().GetValue() & 0x00FFFFFF) | 0xFE000000));
  graphics.FillRectangle(&brush, part.left, part.top, part.Width(), part.Height());
}

void Caret::Forget(const MControl& leaving) {
  if (leaving.Contains(owner_)) owner_ = nullptr;
}

}  // namespace Zentu
