// InputRouter: the input state machine of a paint manager's window (hover, press, focus).
#include "ui/paint/input_router.h"

#include <utility>
#include <vector>

#include "ui/controls/mcontrol.h"
#include "ui/paint/bitmap_drag.h"
#include "ui/paint/control_tree.h"
#include "ui/paint/paint_math.h"
#include "ui/paint/paint_window.h"

namespace Zentu {
namespace {

const CPoint kNowhere(-1, -1);

unsigned CurrentModifierCode() {
  auto down = [](int key) { return (::GetKeyState(key) & 0x8000) != 0; };
  return paint_math::ModifierCode(down(VK_MENU), down(VK_SHIFT), down(VK_CONTROL));
}

}  // namespace

InputRouter::InputRouter(const PaintWindow& window, ControlTree& tree,
                         std::function<void()> clear_tips)
    : window_(window), tree_(tree), clear_tips_(std::move(clear_tips)) {}

InputRouter::~InputRouter() {
  if (drag_bitmap_) ::DeleteObject(drag_bitmap_);
}

void InputRouter::SetCapture() {
  if (window_.IsLive()) ::SetCapture(window_.hwnd());
}

void InputRouter::ReleaseCapture() {
  if (window_.IsLive() && ::GetCapture() == window_.hwnd()) ::ReleaseCapture();
  captured_ = 0;
}

// ---- focus ----

void InputRouter::SetFocus(MControl* control) {
  window_.ui_thread().Check();
  if (control == focus_) return;
  if (focus_) focus_->SetControlFocus(0);
  if (control) control->SetControlFocus(1);
  focus_ = control;
}

MControl* InputRouter::FindFocusable(bool forward) {
  window_.ui_thread().Check();
  const std::vector<MControl*> controls = tree_.Snapshot(ControlTree::kControls);
  std::vector<bool> focusable;
  focusable.reserve(controls.size());
  int current = -1;
  for (size_t i = 0; i < controls.size(); ++i) {
    MControl* control = controls[i];
    focusable.push_back(control->IsVisible() && control->IsEnabled() && control->IsTabStop());
    if (control == focus_) current = static_cast<int>(i);
  }
  const bool listed = focus_ == nullptr || current >= 0;
  const auto found = paint_math::NextFocusIndex(focusable, current, listed, forward);
  if (!found) return nullptr;
  // The answer came from the wrap-around scan: that scan also gives a missing hover
  // control the first list entry.
  const bool wrapped = current < 0 || (forward ? *found <= current : *found >= current);
  if (wrapped && hover_ == nullptr && !controls.empty()) hover_ = controls.front();
  return controls[*found];
}

bool InputRouter::MoveFocusByTab() {
  const unsigned code = CurrentModifierCode();
  MControl* next = nullptr;
  if (code == 0)
    next = FindFocusable(true);
  else if (code == paint_math::kModifierShift)
    next = FindFocusable(false);
  else
    return false;
  if (next == focus_) return false;
  SetFocus(next);
  return true;
}

void InputRouter::Forget(const MControl& leaving) {
  window_.ui_thread().Check();
  // A press can make a nested child the hover or focus control: the whole subtree goes.
  if (leaving.Contains(hover_)) hover_ = nullptr;
  if (leaving.Contains(focus_)) focus_ = nullptr;
}

void InputRouter::ForgetAll() {
  hover_ = nullptr;
  focus_ = nullptr;
}

// ---- mouse ----

void InputRouter::TrackMouse() {
  if (tracking_ || !window_.IsLive()) return;
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_HOVER | TME_LEAVE;
  track.hwndTrack = window_.hwnd();
  track.dwHoverTime = 400;
  tracking_ = ::TrackMouseEvent(&track) ? 1 : 0;
}

int InputRouter::OnMouseMove(UINT flags, CPoint point) {
  window_.ui_thread().Check();
  ControlTree::WalkScope walk(tree_);
  TrackMouse();
  if (drag_armed_ && (flags & MK_LBUTTON)) {
    if (paint_math::DragThresholdPassed(CPoint(drag_start_), point, ::GetSystemMetrics(SM_CXDRAG),
                                        ::GetSystemMetrics(SM_CYDRAG))) {
      StartControlDrag();
      return 1;
    }
  }
  MControl* hover = hover_;
  if (hover && hover->PtInRect(point) && hover->OnCheckMouseResponse(flags, point) && tracking_) {
    hover->OnMouseMove(flags, point);
    return 1;
  }
  clear_tips_();
  if (pressed_) return 1;
  if (!tracking_) {
    hover_ = nullptr;
    return 1;
  }
  MControl* found = nullptr;
  tree_.Walk(ControlTree::kControls, [&](MControl* control) {
    control->OnMouseMove(flags, point);
    // Its handler may have removed it: a removed control never becomes the hover one.
    if (tree_.IsListed(ControlTree::kControls, control) && control->PtInRect(point) &&
        control->GetRresponse())
      found = control;
    return false;
  });
  hover_ = found && tree_.IsListed(ControlTree::kControls, found) ? found : nullptr;
  return 1;
}

bool InputRouter::PressHover(UINT flags, CPoint point) {
  if (focus_ && focus_ != hover_) {
    focus_->SetControlFocus(0);
    focus_ = nullptr;
  }
  MControl* hover = hover_;
  return hover && hover->IsVisible() && hover->GetRresponse() && hover->PtInRect(point) &&
         hover->OnCheckMouseResponse(flags, point);
}

// The hover control after the handler (which may have changed it) keeps the pointer while
// it still wants it; true when it took the capture.
bool InputRouter::CaptureForHover(UINT flags, CPoint point) {
  if (captured_ || !hover_ || !hover_->OnCheckMouseResponse(flags, point)) return false;
  SetCapture();
  captured_ = 1;
  return true;
}

int InputRouter::OnLButtonDown(UINT flags, CPoint point) {
  window_.ui_thread().Check();
  ControlTree::WalkScope walk(tree_);
  if (PressHover(flags, point)) {
    MControl* hover = hover_;
    if (hover->IsDragDrop() && hover->IsEnabled()) {
      drag_armed_ = 1;
      drag_start_ = point;
      if (drag_bitmap_) ::DeleteObject(drag_bitmap_);
      drag_bitmap_ = hover->GetDropBitmap();
    }
    pressed_ = 1;
    focus_ = hover;
    const int result = hover->OnLButtonDown(flags, point);
    if (CaptureForHover(flags, point) || result) return 1;
  }
  if (window_drag_) {
    ReleaseCapture();
    // The system's move loop starts from the caption hit; it wants screen coordinates.
    POINT screen = point;
    if (window_.IsLive()) ::ClientToScreen(window_.hwnd(), &screen);
    window_.Send(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
  }
  return 1;
}

// A release or double click goes to the hover control, which stays the hover control only
// while the pointer is still over where it was.
void InputRouter::DeliverToHover(int (MControl::*event)(unsigned, CPoint), UINT flags,
                                 CPoint point) {
  window_.ui_thread().Check();
  ControlTree::WalkScope walk(tree_);
  MControl* hover = hover_;
  if (!hover || !hover->IsVisible() || !hover->GetRresponse()) {
    hover_ = nullptr;
    return;
  }
  const CRect before = hover->GetRect();
  (hover->*event)(flags, point);
  if (!before.PtInRect(point) && hover_ == hover) hover_ = nullptr;
}

int InputRouter::OnLButtonUp(UINT flags, CPoint point) {
  if (captured_) ReleaseCapture();
  pressed_ = 0;
  drag_armed_ = 0;
  DeliverToHover(&MControl::OnLButtonUp, flags, point);
  return 1;
}

int InputRouter::OnLButtonDblClk(UINT flags, CPoint point) {
  DeliverToHover(&MControl::OnLButtonDblClk, flags, point);
  return 1;
}

int InputRouter::OnRButtonDown(UINT flags, CPoint point) {
  window_.ui_thread().Check();
  ControlTree::WalkScope walk(tree_);
  if (PressHover(flags, point)) {
    focus_ = hover_;
    hover_->OnRButtonDown(flags, point);
    CaptureForHover(flags, point);
  }
  return 1;
}

int InputRouter::OnRButtonUp(UINT flags, CPoint point) {
  if (captured_) ReleaseCapture();
  pressed_ = 0;
  DeliverToHover(&MControl::OnRButtonUp, flags, point);
  return 1;
}

int InputRouter::OnRButtonDblClk(UINT flags, CPoint point) {
  DeliverToHover(&MControl::OnRButtonDblClk, flags, point);
  return 1;
}

int InputRouter::OnMouseLeave() {
  window_.ui_thread().Check();
  ControlTree::WalkScope walk(tree_);
  clear_tips_();
  tracking_ = 0;
  if (!pressed_) {
    if (MControl* hover = hover_) hover->OnMouseMove(0, kNowhere);
    hover_ = nullptr;
  }
  return 1;
}

int InputRouter::OnMouseWheel(short delta, CPoint screen_point) {
  window_.ui_thread().Check();
  ControlTree::WalkScope walk(tree_);
  POINT point = screen_point;
  if (window_.IsLive()) ::ScreenToClient(window_.hwnd(), &point);
  const paint_math::WheelSteps steps = paint_math::SplitWheelDelta(delta);
  int any = 0;
  for (int notch = 0; notch < steps.notches; ++notch) {
    int handled = hover_ ? hover_->OnScroll(1, steps.direction, point) : 0;
    if (!handled)
      handled = tree_.Walk(ControlTree::kControls, [&](MControl* control) {
        return control->OnScroll(1, steps.direction, point) != 0;
      });
    if (handled) any = 1;
  }
  return any;
}

// ---- keys and activation ----

int InputRouter::OnKeyDown(UINT key) {
  window_.ui_thread().Check();
  ControlTree::WalkScope walk(tree_);
  const unsigned code = CurrentModifierCode();
  if (hover_ && hover_->OnKeyDown(key, 1, code)) return 1;
  tree_.Walk(ControlTree::kControls,
             [&](MControl* control) { return control->OnKeyDown(key, 1, code) != 0; });
  return 1;
}

void InputRouter::Deactivate() {
  window_.ui_thread().Check();
  ControlTree::WalkScope walk(tree_);
  tracking_ = 0;
  captured_ = 0;
  MControl* hover = hover_;
  if (pressed_) {
    pressed_ = 0;
    if (hover) hover->OnLButtonUp(0, kNowhere);
  } else if (hover) {
    hover->OnMouseMove(0, kNowhere);
  }
  hover_ = nullptr;
}

// ---- dragging a control out ----

void InputRouter::StartControlDrag() {
  if (!window_.IsLive()) return;
  RECT window{};
  ::GetWindowRect(window_.hwnd(), &window);
  ::ClipCursor(&window);
  ReleaseCapture();
  if (drag_bitmap_) DragBitmapOut(drag_bitmap_);
  drag_armed_ = 0;
  pressed_ = 0;
  ::ClipCursor(nullptr);
}

}  // namespace Zentu
