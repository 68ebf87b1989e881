// PaintManager: the off-screen paint pass, its overlays and the plain or layered present.
#include <algorithm>
#include <cwchar>
#include <memory>
#include <vector>

#include "ui/controls/mcontrol.h"
#include "ui/core/manager.h"
#include "ui/core/win_handles.h"
#include "ui/paint/mrender.h"
#include "ui/paint/paint_cache.h"
#include "ui/paint/paint_manager.h"
#include "ui/paint/paint_math.h"

namespace Zentu {

using Gdiplus::Color;
using Gdiplus::SolidBrush;

namespace {
// The temperature overlay: the box outlined while the pointer is in it, and the text's box.
constexpr CRect kPointerBox(275, 10, 293, 27);
CRect InfoTextBox(const CRect& client) {
  const int left = client.Width() / 2 - 60;
  return CRect(left, 70, left + 120, 130);
}
}  // namespace

int PaintManager::OnPaint() {
  const int result = RenderPass();
  if (result != 2) return result;
  // Bounds the repaint rate of a window whose controls keep asking for repaints.
  ::Sleep(15);
  return 1;
}

int PaintManager::RenderPass() {
  if (!IsLive()) return 0;
  if (::IsIconic(m_window.hwnd())) {
    // Nothing is drawn, but the update region is emptied: left alone it would make the
    // system send WM_PAINT again at once, for as long as the window stays minimised.
    ::ValidateRect(m_window.hwnd(), nullptr);
    return 1;
  }
  // Asked without a rectangle: to map one, Wine takes a DC, one more question to wineserver.
  if (!::GetUpdateRect(m_window.hwnd(), nullptr, FALSE)) return 0;

  const CRect client = GetClientRect();
  const int width = client.Width(), height = client.Height();
  {
    PaintScope paint(m_window.hwnd());
    const CRect update = paint.paint().rcPaint;
    if (width <= 0 || height <= 0) return 2;

    // The window's own DC, kept since Init; taken for this pass only when there is none.
    UniqueWindowDc taken;
    if (!m_window.dc()) taken = GetWindowDc(m_window.hwnd());
    const HDC window_dc = m_window.dc() ? m_window.dc() : taken.get();
    if (!m_pPaintCache) m_pPaintCache = std::make_unique<PaintCache>();
    PaintCache& cache = *m_pPaintCache;
    if (cache.PrepareSurface(window_dc, width, height)) {
      EndStep(PaintStepBegin);
      DrawSurface(cache, client, update);
      if (m_surfaceHook) m_surfaceHook(m_surfaceHookContext, cache.bits(), width, height);
      Present(cache, window_dc, paint.dc(), update);
    }
  }
  if (!m_bPaintCache) m_pPaintCache.reset();
  EndStep(PaintStepEnd);
  return 2;
}

void PaintManager::EnablePaintCache(int enable) {
  m_bPaintCache = enable ? 1 : 0;
  if (!m_bPaintCache) m_pPaintCache.reset();
}

void PaintManager::DiscardBackground() {
  if (m_pPaintCache) m_pPaintCache->DiscardBackground();
}

void PaintManager::DrawSurface(PaintCache& cache, const CRect& client, const CRect& update) {
  HDC dc = cache.dc();
  const int saved = ::SaveDC(dc);
  {
    Gdiplus::Graphics graphics(dc);
    if (cache.HasBackground()) {
      cache.RestoreBackground();
    } else {
      cache.ClearSurface();
      PaintBackground(&graphics, client);
      graphics.Flush(Gdiplus::FlushIntentionSync);
      if (m_bPaintCache) cache.KeepBackground();
    }
    EndStep(PaintStepBackground);
    const CRect clip = m_window.IsLayered() ? client : update;
    std::vector<CRect> drawn;
    DrawControl(dc, clip, &drawn);
    DrawCaret(dc, clip);
    drawn.push_back(m_caret.rect());
    EndStep(PaintStepControls);
    if (m_window.IsLayered()) RepairDrawnAlpha(cache, drawn);
    EndStep(PaintStepAlphaRepair);
    if (m_bDrawInfo) {
      DrawInfo(&graphics, cache, client);
      drawn.push_back(kPointerBox);
      drawn.push_back(InfoTextBox(client));
    }
    if (m_overlay.IsShown()) m_overlay.Draw(&graphics, cache, cache.Font(FindTempFont(L""), 12.0f));
    drawn.push_back(m_overlay.rect());
    EndStep(PaintStepMessage);
    graphics.Flush(Gdiplus::FlushIntentionSync);
    cache.NoteDrawn(drawn);
  }
  ::RestoreDC(dc, saved);
  ::GdiFlush();
  EndStep(PaintStepFlush);
}

// Alpha repair looks where GDI may have drawn in this pass: where the controls and the
// caret are, whatever the update rectangle, because the controls are drawn and the surface is
// presented whole. (Wine hands a layered window's later passes an update rectangle of one
// pixel.) The whole surface is looked at when the kept background itself has pixels to
// repair, or nothing is kept; elsewhere the restored background needs none.
void PaintManager::RepairDrawnAlpha(PaintCache& cache, const std::vector<CRect>& drawn) {
  ::GdiFlush();
  const CRect whole(0, 0, cache.width(), cache.height());
  if (!m_bPaintCache || cache.BackgroundNeedsRepair()) {
    paint_math::RepairAlpha(cache.bits(), cache.width(), cache.height(), whole);
    return;
  }
  for (const CRect& area : drawn)
    paint_math::RepairAlpha(cache.bits(), cache.width(), cache.height(), area);
}

void PaintManager::PaintBackground(Gdiplus::Graphics* graphics, const CRect& client) {
  if (m_pBKImage) {
    DrawBackImage(graphics, client);
    return;
  }
  // Written, not blended: the surface must hold exactly these values (alpha 254).
  graphics->SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
  SolidBrush border(Color(paint_math::ColorRefToArgb(m_crBorder, paint_math::kBackAlpha)));
  graphics->FillRectangle(&border, 0, 0, client.Width(), client.Height());
  SolidBrush back(Color(paint_math::ColorRefToArgb(m_crBack, paint_math::kBackAlpha)));
  graphics->FillRectangle(&back, 1, 1, client.Width() - 2, client.Height() - 2);
  graphics->SetCompositingMode(Gdiplus::CompositingModeSourceOver);
}

void PaintManager::DrawBackImage(Gdiplus::Graphics* graphics, const CRect& client) {
  if (graphics == nullptr || m_pBKImage == nullptr) return;
  switch (m_nBackMode) {
    case BackModeStretch:
      graphics->DrawImage(m_pBKImage, Gdiplus::Rect(0, 0, client.Width(), client.Height()), 0, 0,
                          m_nBKWidth, m_nBKHeight, Gdiplus::UnitPixel);
      break;
    case BackModeFrame:
      MRender::DrawImageFrame(graphics, m_pBKImage, CRect(0, 0, client.Width(), client.Height()), 0,
                              0, m_nBKWidth, m_nBKHeight, m_nCorner);
      break;
    default:
      break;
  }
}

namespace {
// Where a control may have drawn: its rectangle and those of what it draws with itself.
// Controls draw inside their rectangles (their cached pictures are exactly that size).
CRect DrawnExtent(const MControl& control) {
  CRect extent = control.GetRect();
  for (const auto* list : {&control.GetUnderControls(), &control.GetControls()})
    for (const MControl* part : *list)
      if (part && part->IsVisible()) extent |= DrawnExtent(*part);
  return extent;
}
}  // namespace

void PaintManager::DrawControl(HDC dc, const CRect& clip, std::vector<CRect>* drawn) {
  WalkScope walk(m_tree);
  for (int kind : {ControlTree::kAreas, ControlTree::kControls}) {
    m_tree.Walk(kind, [&](MControl* control) {
      const bool visible = control->IsVisible() != 0;
      HDC target = dc;
      control->Draw(target, clip);
      if (drawn && visible) drawn->push_back(DrawnExtent(*control));
      return false;
    });
  }
}

void PaintManager::DrawInfo(Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& client) {
  POINT cursor;
  if (::GetCursorPos(&cursor) && ::ScreenToClient(m_window.hwnd(), &cursor) &&
      kPointerBox.PtInRect(cursor))
    graphics->DrawRectangle(&cache.Pen(0xFFC8C8C8), kPointerBox.left, kPointerBox.top,
                            kPointerBox.Width(), kPointerBox.Height());
  EndStep(PaintStepPointer);
  const auto value = paint_math::TemperatureText(Manager::GetCPUTemp());
  Gdiplus::Font* font = cache.Font(FindTempFont(L""), 50.0f);
  if (value && font != nullptr) DrawInfoText(graphics, cache, InfoTextBox(client), *value, font);
  EndStep(PaintStepText);
}

// A text the cache kept is put back, not drawn: GDI+ would lay it out and render each glyph
// anew, the costliest part of a pass that draws on a kept background.
void PaintManager::DrawInfoText(Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& box,
                                int value, Gdiplus::Font* font) {
  if (m_bPaintCache) {
    graphics->Flush(Gdiplus::FlushIntentionSync);  // the pixels under the text are read now
    if (cache.PutBackText(value, font, box)) return;
  }
  wchar_t text[16];
  std::swprintf(text, 16, L"%d", value);
  graphics->SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
  const Gdiplus::RectF layout(static_cast<float>(box.left), static_cast<float>(box.top),
                              static_cast<float>(box.Width()), static_cast<float>(box.Height()));
  graphics->DrawString(text, -1, font, layout, &cache.CentredFormat(), &cache.Brush(0xFFFBFBFB));
  if (m_bPaintCache) {
    graphics->Flush(Gdiplus::FlushIntentionSync);
    cache.KeepText();
  }
}

void PaintManager::Present(PaintCache& cache, HDC window_dc, HDC paint_dc, const CRect& update) {
  if (!m_window.IsLayered()) {
    if (paint_dc)
      ::BitBlt(paint_dc, update.left, update.top, update.Width(), update.Height(), cache.dc(),
               update.left, update.top, SRCCOPY);
    EndStep(PaintStepHandOver);
    return;
  }
  const LONG ex_style = ::GetWindowLongW(m_window.hwnd(), GWL_EXSTYLE);
  if ((ex_style & WS_EX_LAYERED) == 0) {
    ::SetWindowLongW(m_window.hwnd(), GWL_EXSTYLE, ex_style | WS_EX_LAYERED);
    cache.ForgetPresented();  // the window has no layered picture yet
  }
  // The window keeps the picture it was given: only the part that changed since is handed
  // over, and nothing when nothing changed. Made anew, a pass hands over everything.
  const CRect whole(0, 0, cache.width(), cache.height());
  const CRect dirty = m_bPaintCache ? cache.TakeUnpresented() : whole;
  EndStep(PaintStepCompare);
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
  if (!::UpdateLayeredWindowIndirect(m_window.hwnd(), &info)) cache.ForgetPresented();
  EndStep(PaintStepHandOver);
}

HBITMAP PaintManager::GetDropBitmap(MControl* control, CRect rect) {
  return GenerateBitmap(control, rect, 0);
}

HBITMAP PaintManager::GenerateBitmap(MControl* control, CRect rect, Gdiplus::ARGB color) {
  if (control == nullptr || rect.IsRectEmpty()) return nullptr;
  const CRect client = GetClientRect();
  const int width = std::max<int>(client.right, rect.right);
  const int height = std::max<int>(client.bottom, rect.bottom);
  UniqueWindowDc screen = GetWindowDc(nullptr);
  UniqueMemoryDc whole_dc(::CreateCompatibleDC(screen.get()));
  UniqueGdiObject whole(::CreateCompatibleBitmap(screen.get(), width, height));
  UniqueMemoryDc pic_dc(::CreateCompatibleDC(screen.get()));
  BYTE* bits = nullptr;
  HBITMAP picture = MRender::CreateARGB32Bitmap(screen.get(), rect.Width(), rect.Height(), &bits);
  if (!whole_dc || !whole || !pic_dc || !picture) {
    if (picture) ::DeleteObject(picture);
    return nullptr;
  }
  {
    UniqueSelection whole_sel = SelectInto(whole_dc.get(), whole.get());
    HDC target = whole_dc.get();
    control->Draw(target, CRect(0, 0, width, height));
    UniqueSelection pic_sel = SelectInto(pic_dc.get(), picture);
    ::BitBlt(pic_dc.get(), 0, 0, rect.Width(), rect.Height(), whole_dc.get(), rect.left, rect.top,
             SRCCOPY);
    MRender::DrawColor(pic_dc.get(), CRect(0, 0, rect.Width(), rect.Height()), color);
  }
  return picture;
}

}  // namespace Zentu
