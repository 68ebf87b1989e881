// InputRouter: where a window's pointer and keys go: hover, press, capture, focus, control drag.
#pragma once

#include <windows.h>

#include <functional>

#include "ui/core/geometry.h"

namespace Zentu {

class ControlTree;
class MControl;
class PaintWindow;

// UI thread only: every event arrives through the window's messages. The hover and focus
// controls are members of the tree's control list; a control leaving it is forgotten here
// before it goes (Forget). Each event walks the list under a WalkScope, so a handler may
// remove controls, the one handling included.
class InputRouter {
 public:
  // `clear_tips` takes down the window's tooltip when the pointer leaves what it was about.
  InputRouter(const PaintWindow& window, ControlTree& tree, std::function<void()> clear_tips);
  InputRouter(const InputRouter&) = delete;
  InputRouter& operator=(const InputRouter&) = delete;
  ~InputRouter();

  void SetCapture();
  void ReleaseCapture();
  int IsCaptured() const { return captured_; }
  MControl* hover() const { return hover_; }
  MControl* focus() const { return focus_; }
  void SetFocus(MControl* control);
  // The next (or previous) visible, enabled tab stop after the focus control, wrapping.
  MControl* FindFocusable(bool forward);
  // Tab and shift-tab move the focus; true when it moved.
  bool MoveFocusByTab();
  // A press where no control takes it starts the system's move loop (on by default).
  void EnableWindowDrag(int enable) { window_drag_ = enable; }
  int IsWindowDrag() const { return window_drag_; }

  int OnMouseMove(UINT flags, CPoint point);
  int OnLButtonDown(UINT flags, CPoint point);
  int OnLButtonUp(UINT flags, CPoint point);
  int OnLButtonDblClk(UINT flags, CPoint point);
  int OnRButtonDown(UINT flags, CPoint point);
  int OnRButtonUp(UINT flags, CPoint point);
  int OnRButtonDblClk(UINT flags, CPoint point);
  int OnMouseLeave();
  int OnMouseWheel(short delta, CPoint screen_point);
  int OnKeyDown(UINT key);
  // The window lost activation: a press in progress ends as a release nowhere.
  void Deactivate();

  // Forgets the control and everything inside it as hover and focus control.
  void Forget(const MControl& leaving);
  void ForgetAll();

 private:
  void TrackMouse();
  // Gives up the focus unless the hover control has it; true when a hover control under
  // the pointer takes the press.
  bool PressHover(UINT flags, CPoint point);
  void DeliverToHover(int (MControl::*event)(unsigned, CPoint), UINT flags, CPoint point);
  bool CaptureForHover(UINT flags, CPoint point);
  void StartControlDrag();

  const PaintWindow& window_;
  ControlTree& tree_;
  std::function<void()> clear_tips_;
  MControl* hover_ = nullptr;  // not owned: a member of the control list or null
  MControl* focus_ = nullptr;  // not owned: a member of the control list or null
  int tracking_ = 0;           // TrackMouseEvent is armed
  int pressed_ = 0;
  int captured_ = 0;
  int window_drag_ = 1;
  int drag_armed_ = 0;  // pressed on a drag-and-drop control; a move past the threshold drags
  POINT drag_start_{0, 0};
  HBITMAP drag_bitmap_ = nullptr;  // owned: the picture of the control being dragged
};

}  // namespace Zentu
