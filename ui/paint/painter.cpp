// Painter: the paint pass on an off-screen surface, the cache it keeps and the present.
#include "ui/paint/painter.h"

#include <cwchar>
#include <utility>

#include "ui/core/win_handles.h"
#include "ui/paint/paint_cache.h"
#include "ui/paint/paint_manager.h"
#include "ui/paint/paint_math.h"
#include "ui/paint/paint_window.h"

namespace Zentu {

// The step numbers are the manager's: that is where the benchmarks read them.
using Step = PaintManager::PaintStep;

Painter::Painter(const PaintWindow& window, Scene scene)
    : window_(window), scene_(std::move(scene)) {}

Painter::~Painter() = default;

int Painter::Render() {
  if (!window_.IsLive()) return 0;
  const HWND hwnd = window_.hwnd();
  if (::IsIconic(hwnd)) {
    // Nothing is drawn, but the update region is emptied: left alone it would make the
    // system send WM_PAINT again at once, for as long as the window stays minimised.
    ::ValidateRect(hwnd, nullptr);
    return 1;
  }
  // Asked without a rectangle: to map one, Wine takes a DC, one more question to wineserver.
  if (!::GetUpdateRect(hwnd, nullptr, FALSE)) return 0;

  const CRect client = window_.ClientRect();
  const int width = client.Width(), height = client.Height();
  {
    PaintScope paint(hwnd);
    const CRect update = paint.paint().rcPaint;
    if (width <= 0 || height <= 0) return 2;

    // The window's own DC, kept since Init; taken for this pass only when there is none.
    UniqueWindowDc taken;
    if (!window_.dc()) taken = GetWindowDc(hwnd);
    const HDC window_dc = window_.dc() ? window_.dc() : taken.get();
    if (!cache_) cache_ = std::make_unique<PaintCache>();
    PaintCache& cache = *cache_;
    if (cache.PrepareSurface(window_dc, width, height)) {
      EndStep(Step::PaintStepBegin);
      DrawSurface(cache, client, update);
      if (surface_hook_) surface_hook_(surface_hook_context_, cache.bits(), width, height);
      Present(cache, window_dc, paint.dc(), update);
    }
  }
  if (!cache_on_) cache_.reset();
  EndStep(Step::PaintStepEnd);
  return 2;
}

void Painter::EnableCache(int enable) {
  cache_on_ = enable ? 1 : 0;
  if (!cache_on_) cache_.reset();
}

void Painter::DropCache() { cache_.reset(); }

void Painter::DiscardBackground() {
  if (cache_) cache_->DiscardBackground();
}

void Painter::DiscardFonts() {
  if (cache_) cache_->DiscardFonts();
}

void Painter::OnWindowMessage(UINT msg) {
  if (cache_ && (msg == WM_SHOWWINDOW || msg == WM_WINDOWPOSCHANGED || msg == WM_STYLECHANGED))
    cache_->ForgetPresented();
}

void Painter::DrawSurface(PaintCache& cache, const CRect& client, const CRect& update) {
  HDC dc = cache.dc();
  const int saved = ::SaveDC(dc);
  {
    Gdiplus::Graphics graphics(dc);
    if (cache.HasBackground()) {
      cache.RestoreBackground();
    } else {
      cache.ClearSurface();
      scene_.background(&graphics, client);
      graphics.Flush(Gdiplus::FlushIntentionSync);
      if (cache_on_) cache.KeepBackground();
    }
    EndStep(Step::PaintStepBackground);
    std::vector<CRect> drawn;
    scene_.controls(dc, window_.IsLayered() ? client : update, drawn);
    EndStep(Step::PaintStepControls);
    if (window_.IsLayered()) RepairDrawnAlpha(cache, drawn);
    EndStep(Step::PaintStepAlphaRepair);
    scene_.overlays(&graphics, cache, client, drawn);
    EndStep(Step::PaintStepMessage);
    graphics.Flush(Gdiplus::FlushIntentionSync);
    cache.NoteDrawn(drawn);
  }
  ::RestoreDC(dc, saved);
  ::GdiFlush();
  EndStep(Step::PaintStepFlush);
}

// Alpha repair looks where GDI may have drawn in this pass: where the controls and the
// caret are, whatever the update rectangle, because the controls are drawn and the surface is
// presented whole. (Wine hands a layered window's later passes an update rectangle of one
// pixel.) The whole surface is looked at when the kept background itself has pixels to
// repair, or nothing is kept; elsewhere the restored background needs none.
void Painter::RepairDrawnAlpha(PaintCache& cache, const std::vector<CRect>& drawn) {
  ::GdiFlush();
  const CRect whole(0, 0, cache.width(), cache.height());
  if (!cache_on_ || cache.BackgroundNeedsRepair()) {
    paint_math::RepairAlpha(cache.bits(), cache.width(), cache.height(), whole);
    return;
  }
  for (const CRect& area : drawn)
    paint_math::RepairAlpha(cache.bits(), cache.width(), cache.height(), area);
}

// A text the cache kept is put back, not drawn: GDI+ would lay it out and render each glyph
// anew, the costliest part of a pass that draws on a kept background.
void Painter::DrawNumber(Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& box,
                         int value, Gdiplus::Font* font) {
  if (cache_on_) {
    graphics->Flush(Gdiplus::FlushIntentionSync);  // the pixels under the text are read now
    if (cache.PutBackText(value, font, box)) return;
  }
  wchar_t text[16];
  std::swprintf(text, 16, L"%d", value);
  graphics->SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
  const Gdiplus::RectF layout(static_cast<float>(box.left), static_cast<float>(box.top),
                              static_cast<float>(box.Width()), static_cast<float>(box.Height()));
  graphics->DrawString(text, -1, font, layout, &cache.CentredFormat(), &cache.Brush(0xFFFBFBFB));
  if (cache_on_) {
    graphics->Flush(Gdiplus::FlushIntentionSync);
    cache.KeepText();
  }
}

void Painter::Present(PaintCache& cache, HDC window_dc, HDC paint_dc, const CRect& update) {
  const HWND hwnd = window_.hwnd();
  if (!window_.IsLayered()) {
    if (paint_dc)
      ::BitBlt(paint_dc, update.left, update.top, update.Width(), update.Height(), cache.dc(),
               update.left, update.top, SRCCOPY);
    EndStep(Step::PaintStepHandOver);
    return;
  }
  const LONG ex_style = ::GetWindowLongW(hwnd, GWL_EXSTYLE);
  if ((ex_style & WS_EX_LAYERED) == 0) {
    ::SetWindowLongW(hwnd, GWL_EXSTYLE, ex_style | WS_EX_LAYERED);
    cache.ForgetPresented();  // the window has no layered picture yet
  }
  // The window keeps the picture it was given: only the part that changed since is handed
  // over, and nothing when nothing changed. Made anew, a pass hands over everything.
  const CRect whole(0, 0, cache.width(), cache.height());
  const CRect dirty = cache_on_ ? cache.TakeUnpresented() : whole;
  EndStep(Step::PaintStepCompare);
  if (dirty.IsRectEmpty()) return;
  SIZE size{whole.Width(), whole.Height()};
  POINT source{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UPDATELAYEREDWINDOWINFO info{};
  info.cbSize = sizeof(info);
  info.hdcDst = window_dc;
  info.psize = &size;
  info.hdcSrc = cache.dc();
  info.pptSrc = &source;
  info.pblend = &blend;
  info.dwFlags = ULW_ALPHA;
  info.prcDirty = dirty == whole ? nullptr : &dirty;
  if (!::UpdateLayeredWindowIndirect(hwnd, &info)) cache.ForgetPresented();
  EndStep(Step::PaintStepHandOver);
}

}  // namespace Zentu
