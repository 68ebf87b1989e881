// MessageOverlay: the status message and progress bar drawn over a window, and their fading.
#include "ui/paint/message_overlay.h"

#include <algorithm>

#include "ui/paint/paint_cache.h"
#include "ui/paint/paint_window.h"

namespace Zentu {
namespace {

constexpr UINT kHoldTimer = 66;      // how long a message stays fully visible
constexpr UINT kFadeTimer = 88;      // fade-out of the overlay
constexpr UINT kProgressTimer = 99;  // progress bar animation
constexpr UINT kHoldPeriod = 3000;
constexpr UINT kFadePeriod = 50;
constexpr UINT kProgressPeriod = 10;

}  // namespace

void MessageOverlay::SetMessage(CString text, CRect rect, MsgLevel level) {
  window_.ui_thread().Check();
  window_.StopTimer(kHoldTimer);
  window_.StopTimer(kFadeTimer);
  alpha_ = 255;
  text_ = text;
  level_ = level;
  rect_ = rect;
  progress_shown_ = 0;
  window_.InvalidateRect(&rect_, FALSE);
  window_.StartTimer(kHoldTimer, kHoldPeriod);
}

void MessageOverlay::SetProgress(int percent, CString text, CRect rect) {
  window_.ui_thread().Check();
  if (percent == progress_target_) return;
  if (percent < 5) window_.StopTimer(kFadeTimer);
  alpha_ = 255;
  text_ = text;
  progress_target_ = percent;
  if (rect.IsRectEmpty()) {
    const CRect client = window_.ClientRect();
    rect = CRect(client.left, client.bottom - 60, client.right, client.bottom - 2);
  }
  rect_ = rect;
  if (percent - progress_shown_ < 6) {
    progress_shown_ = percent;
    window_.InvalidateRect(&rect_, FALSE);
    if (progress_shown_ > 99) window_.StartTimer(kFadeTimer, kFadePeriod);
  } else {
    window_.StartTimer(kProgressTimer, kProgressPeriod);
  }
}

bool MessageOverlay::OnTimer(UINT id) {
  switch (id) {
    case kHoldTimer:
      window_.StopTimer(kHoldTimer);
      window_.StartTimer(kFadeTimer, kFadePeriod);
      return true;
    case kFadeTimer:
      alpha_ -= 10;
      if (alpha_ < 20) {
        alpha_ = 0;
        progress_shown_ = 0;
        window_.StopTimer(kFadeTimer);
      }
      window_.InvalidateRect(&rect_, FALSE);
      return true;
    case kProgressTimer:
      // Stops at the target: steps of 2 from an odd start would otherwise overshoot it.
      progress_shown_ = std::min(progress_shown_ + 2, std::max(progress_target_, 0));
      if (progress_shown_ >= progress_target_) window_.StopTimer(kProgressTimer);
      window_.InvalidateRect(&rect_, FALSE);
      if (progress_shown_ >= 100) window_.StartTimer(kFadeTimer, kFadePeriod);
      return true;
    default:
      return false;
  }
}

void MessageOverlay::Draw(Gdiplus::Graphics* graphics, PaintCache& cache,
                          Gdiplus::Font* font) const {
  if (!IsShown()) return;
  const Gdiplus::ARGB alpha = static_cast<Gdiplus::ARGB>(alpha_ & 0xFF) << 24;
  const CRect& box = rect_;
  graphics->FillRectangle(&cache.Brush(alpha | 0xE6E6E6), box.left, box.top, box.Width(),
                          box.Height());
  graphics->FillRectangle(&cache.Brush(alpha | 0xFEFEFE), box.left + 2, box.top + 2,
                          box.Width() - 4, box.Height() - 4);
  if (font == nullptr) return;
  graphics->SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
  const float left = static_cast<float>(box.left + 5), top = static_cast<float>(box.top + 5);
  if (progress_shown_ < 1) {
    graphics->DrawString(text_.GetString(), -1, font, Gdiplus::RectF(left, top, 190.0f, 50.0f),
                         &cache.MessageFormat(Gdiplus::StringAlignmentNear),
                         &cache.Brush(alpha | 0x050505));
    return;
  }
  graphics->DrawString(text_.GetString(), -1, font,
                       Gdiplus::RectF(left, top, static_cast<float>(box.Width() - 10), 30.0f),
                       &cache.MessageFormat(Gdiplus::StringAlignmentCenter),
                       &cache.Brush(alpha | 0x050505));
  graphics->DrawLine(&cache.Pen(0xC8C8C8C8), static_cast<INT>(box.left + 10),
                     static_cast<INT>(box.bottom - 15), static_cast<INT>(box.right - 20),
                     static_cast<INT>(box.bottom - 15));
  if (progress_shown_ != 0)
    graphics->FillRectangle(&cache.Brush(0xFEFFE100), box.left + 10, box.bottom - 16,
                            progress_shown_ * (box.Width() - 20) / 100, 3);
}

}  // namespace Zentu
