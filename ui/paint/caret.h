// Caret: the blinking caret a paint manager draws for the editing control that owns it.
#pragma once

#include <windows.h>

#include "ui/core/geometry.h"

namespace Zentu {

class MControl;
class MControlFont;
class PaintWindow;

// UI thread only: it blinks on the window's timer and is drawn by the paint pass.
class Caret {
 public:
  static constexpr UINT kBlinkTimer = 6553;

  explicit Caret(const PaintWindow& window) : window_(window) {}

  int Create(HBITMAP bitmap, int width, int height);
  int SetPos(MControlFont* owner, int x, int y);
  int Show(int show);
  // The blink timer's tick; false for any other timer.
  bool OnTimer(UINT id);
  // Stops the blinking while the owner or the window lacks the focus.
  void Draw(HDC dc, const CRect& clip);
  // The owner is leaving: a removed control must not be asked for its colour.
  void Forget(const MControl& leaving);

  MControlFont* owner() const { return owner_; }
  const CRect& rect() const { return rect_; }
  int IsLit() const { return lit_; }

 private:
  void StopBlink();

  const PaintWindow& window_;
  CRect rect_;
  int lit_ = 0;
  int shown_ = 0;
  MControlFont* owner_ = nullptr;  // not owned: the editing control with the caret
};

}  // namespace Zentu
