// MessageOverlay: the status message and progress bar drawn over a window, and their fading.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include "ui/core/cstring.h"
#include "ui/core/geometry.h"

namespace Zentu {

class PaintCache;
class PaintWindow;

// Severity of a status message shown by the message overlay.
enum MsgLevel : int {
  MsgLevelTrace = 0,
  MsgLevelDebug = 1,
  MsgLevelInfo = 2,
  MsgLevelWarn = 3,
  MsgLevelError = 4,
  MsgLevelFatal = 5,
};

// UI thread only: it runs on the window's timers 66, 88 and 99 and is drawn by the paint pass.
class MessageOverlay {
 public:
  explicit MessageOverlay(const PaintWindow& window) : window_(window) {}

  void SetMessage(CString text, CRect rect, MsgLevel level);
  void SetProgress(int percent, CString text, CRect rect);
  // The overlay's own timers; false for any other.
  bool OnTimer(UINT id);
  bool IsShown() const { return alpha_ > 10 && !text_.IsEmpty(); }
  void Draw(Gdiplus::Graphics* graphics, PaintCache& cache, Gdiplus::Font* font) const;

  const CString& text() const { return text_; }
  const CRect& rect() const { return rect_; }
  int alpha() const { return alpha_; }
  int progress_shown() const { return progress_shown_; }
  int progress_target() const { return progress_target_; }

 private:
  const PaintWindow& window_;
  CString text_;
  MsgLevel level_ = MsgLevelTrace;
  int alpha_ = 0;
  int progress_shown_ = 0;
  int progress_target_ = 0;
  CRect rect_;
};

}  // namespace Zentu
