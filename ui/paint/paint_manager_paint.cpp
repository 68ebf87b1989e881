// PaintManager: the off-screen paint pass, its overlays and the plain or layered present.
#include <algorithm>
#include <cwchar>
#include <memory>

#include "ui/controls/mcontrol.h"
#include "ui/core/manager.h"
#include "ui/core/win_handles.h"
#include "ui/paint/critical_section.h"
#include "ui/paint/mrender.h"
#include "ui/paint/paint_manager.h"
#include "ui/paint/paint_math.h"

namespace Zentu {

using Gdiplus::Color;
using Gdiplus::SolidBrush;

int PaintManager::OnPaint() {
  const int result = RenderPass();
  if (result != 2) return result;
  // Bounds the repaint rate of a window whose controls keep asking for repaints.
  ::Sleep(15);
  return 1;
}

int PaintManager::RenderPass() {
  if (!IsLive()) return 0;
  if (::IsIconic(m_hWnd)) {
    // Nothing is drawn, but the update region is emptied: left alone it would make the
    // system send WM_PAINT again at once, for as long as the window stays minimised.
    ::ValidateRect(m_hWnd, nullptr);
    return 1;
  }
  RECT pending;
  if (!::GetUpdateRect(m_hWnd, &pending, FALSE)) return 0;

  const CRect client = GetClientRect();
  const int width = client.Width(), height = client.Height();
  PaintScope paint(m_hWnd);
  const CRect update = paint.paint().rcPaint;
  if (width <= 0 || height <= 0) return 2;

  UniqueWindowDc window_dc = GetWindowDc(m_hWnd);
  UniqueMemoryDc mem_dc(MRender::CreateCompatibleDC(window_dc.get()));
  BYTE* bits = nullptr;
  UniqueGdiObject surface(MRender::CreateARGB32Bitmap(window_dc.get(), width, height, &bits));
  if (!mem_dc || !surface || bits == nullptr) return 2;
  {
    UniqueSelection selected = SelectInto(mem_dc.get(), surface.get());
    const int saved = ::SaveDC(mem_dc.get());
    if (m_bLayered) paint_math::ClearPixels(bits, width, height, update);
    {
      Gdiplus::Graphics graphics(mem_dc.get());
      PaintBackground(&graphics, client);
      graphics.Flush(Gdiplus::FlushIntentionSync);

      const CRect clip = m_bLayered ? client : update;
      DrawControl(mem_dc.get(), clip);
      DrawCaret(mem_dc.get(), clip);
      if (m_bLayered) {
        ::GdiFlush();
        paint_math::RepairAlpha(bits, width, height, update);
      }
      if (m_bDrawInfo) DrawInfo(&graphics, client);
      DrawMessage(&graphics);
      graphics.Flush(Gdiplus::FlushIntentionSync);
    }
    ::RestoreDC(mem_dc.get(), saved);
    ::GdiFlush();
    if (m_surfaceHook) m_surfaceHook(m_surfaceHookContext, bits, width, height);
    Present(mem_dc.get(), window_dc.get(), paint.dc(), client, update);
  }
  return 2;
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

void PaintManager::DrawControl(HDC dc, const CRect& clip) {
  WalkScope walk(*this);
  for (auto [list, lock] : {std::pair{&m_areas, &m_areaLock}, {&m_controls, &m_controlLock}}) {
    ScopedLock guard(*lock);
    for (MControl* control : Snapshot(*list, *lock)) {
      if (!IsListed(*list, control)) continue;
      HDC target = dc;
      control->Draw(target, clip);
    }
  }
}

void PaintManager::DrawInfo(Gdiplus::Graphics* graphics, const CRect& client) {
  POINT cursor;
  if (::GetCursorPos(&cursor) && ::ScreenToClient(m_hWnd, &cursor) &&
      CRect(275, 10, 293, 27).PtInRect(cursor)) {
    Gdiplus::Pen pen(Color(0xFFC8C8C8), 1.0f);
    graphics->DrawRectangle(&pen, 275, 10, 293 - 275, 27 - 10);
  }
  const auto value = paint_math::TemperatureText(Manager::GetCPUTemp());
  Gdiplus::FontFamily* family = FindTempFont(L"");
  if (!value || family == nullptr) return;
  wchar_t text[16];
  std::swprintf(text, 16, L"%d", *value);
  Gdiplus::Font font(family, 50.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
  Gdiplus::StringFormat format;
  format.SetAlignment(Gdiplus::StringAlignmentCenter);
  format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
  graphics->SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
  SolidBrush brush(Color(0xFFFBFBFB));
  const Gdiplus::RectF layout(static_cast<float>(client.Width() / 2 - 60), 70.0f, 120.0f, 60.0f);
  graphics->DrawString(text, -1, &font, layout, &format, &brush);
}

void PaintManager::DrawMessage(Gdiplus::Graphics* graphics) {
  if (m_nMsgAlpha <= 10 || m_strMessage.IsEmpty()) return;
  const Gdiplus::ARGB alpha = static_cast<Gdiplus::ARGB>(m_nMsgAlpha & 0xFF) << 24;
  const CRect& box = m_rcMessage;
  SolidBrush frame(Color(alpha | 0xE6E6E6));
  graphics->FillRectangle(&frame, box.left, box.top, box.Width(), box.Height());
  SolidBrush inner(Color(alpha | 0xFEFEFE));
  graphics->FillRectangle(&inner, box.left + 2, box.top + 2, box.Width() - 4, box.Height() - 4);

  Gdiplus::FontFamily* family = FindTempFont(L"");
  if (family == nullptr) return;
  Gdiplus::Font font(family, 12.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
  SolidBrush text(Color(alpha | 0x050505));
  graphics->SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
  Gdiplus::StringFormat format;
  format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  const float left = static_cast<float>(box.left + 5), top = static_cast<float>(box.top + 5);
  if (m_nProgressShown < 1) {
    format.SetAlignment(Gdiplus::StringAlignmentNear);
    graphics->DrawString(m_strMessage.GetString(), -1, &font,
                         Gdiplus::RectF(left, top, 190.0f, 50.0f), &format, &text);
    return;
  }
  format.SetAlignment(Gdiplus::StringAlignmentCenter);
  graphics->DrawString(m_strMessage.GetString(), -1, &font,
                       Gdiplus::RectF(left, top, static_cast<float>(box.Width() - 10), 30.0f),
                       &format, &text);
  Gdiplus::Pen line(Color(0xC8C8C8C8), 1.0f);
  graphics->DrawLine(&line, static_cast<INT>(box.left + 10), static_cast<INT>(box.bottom - 15),
                     static_cast<INT>(box.right - 20), static_cast<INT>(box.bottom - 15));
  if (m_nProgressShown != 0) {
    SolidBrush bar(Color(0xFEFFE100));
    graphics->FillRectangle(&bar, box.left + 10, box.bottom - 16,
                            m_nProgressShown * (box.Width() - 20) / 100, 3);
  }
}

void PaintManager::Present(HDC mem_dc, HDC window_dc, HDC paint_dc, const CRect& client,
                           const CRect& update) {
  if (m_bLayered) {
    const LONG ex_style = ::GetWindowLongW(m_hWnd, GWL_EXSTYLE);
    if ((ex_style & WS_EX_LAYERED) == 0)
      ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ex_style | WS_EX_LAYERED);
    SIZE size{client.Width(), client.Height()};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(m_hWnd, window_dc, nullptr, &size, mem_dc, &source, 0, &blend, ULW_ALPHA);
    return;
  }
  if (paint_dc)
    ::BitBlt(paint_dc, update.left, update.top, update.Width(), update.Height(), mem_dc,
             update.left, update.top, SRCCOPY);
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
