// PaintManager: what its paint pass draws (background, controls, overlays) and control pictures.
#include <algorithm>
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

int PaintManager::RenderPass() { return m_painter.Render(); }

void PaintManager::EnablePaintCache(int enable) { m_painter.EnableCache(enable); }

Painter::Scene PaintManager::PaintScene() {
  return {[this](Gdiplus::Graphics* graphics, const CRect& client) {
            PaintBackground(graphics, client);
          },
          [this](HDC dc, const CRect& clip, std::vector<CRect>& drawn) {
            DrawControl(dc, clip, &drawn);
            DrawCaret(dc, clip);
            drawn.push_back(m_caret.rect());
          },
          [this](Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& client,
                 std::vector<CRect>& drawn) { DrawOverlays(graphics, cache, client, drawn); }};
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

void PaintManager::DrawOverlays(Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& client,
                                std::vector<CRect>& drawn) {
  if (m_bDrawInfo) {
    DrawInfo(graphics, cache, client);
    drawn.push_back(kPointerBox);
    drawn.push_back(InfoTextBox(client));
  }
  if (m_overlay.IsShown()) m_overlay.Draw(graphics, cache, cache.Font(FindTempFont(L""), 12.0f));
  drawn.push_back(m_overlay.rect());
}

void PaintManager::DrawInfo(Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& client) {
  POINT cursor;
  if (::GetCursorPos(&cursor) && ::ScreenToClient(m_window.hwnd(), &cursor) &&
      kPointerBox.PtInRect(cursor))
    graphics->DrawRectangle(&cache.Pen(0xFFC8C8C8), kPointerBox.left, kPointerBox.top,
                            kPointerBox.Width(), kPointerBox.Height());
  m_painter.EndStep(PaintStepPointer);
  const auto value = paint_math::TemperatureText(Manager::GetCPUTemp());
  Gdiplus::Font* font = cache.Font(FindTempFont(L""), 50.0f);
  if (value && font != nullptr)
    m_painter.DrawNumber(graphics, cache, InfoTextBox(client), *value, font);
  m_painter.EndStep(PaintStepText);
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
