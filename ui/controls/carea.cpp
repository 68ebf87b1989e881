// CArea: a filled rectangle, plain, framed, or faded in by a vertical or horizontal transition.
#include "ui/controls/mcontrol.h"
#include "ui/core/win_handles.h"
#include "ui/paint/mrender.h"

namespace Zentu {
namespace {

// 0x00BBGGRR as an ARGB colour with alpha 254 (just below opaque, as the fills of the
// library's layered windows are).
Gdiplus::ARGB FillArgb(unsigned long colorref) {
  return Gdiplus::Color::MakeARGB(254, GetRValue(colorref), GetGValue(colorref),
                                  GetBValue(colorref));
}

}  // namespace

CArea::CArea(MObject* parent, unsigned id, CRect rect, int visible, int enabled)
    : MControl(parent, id, rect, visible, enabled, 1) {}

const wchar_t* CArea::GetClassNameW() const { return L"CArea"; }

void CArea::SetTransparent(int start, int end, unsigned long color) {
  m_nStartAlpha = start;
  m_nEndAlpha = end;
  m_fillColor = color;
  UpdateControl(1, 0);
}

void CArea::SetFrame(int on, Gdiplus::Color color, int) {
  m_bFrame = on;
  m_frameColor = color.GetValue();
  UpdateControl(1, 0);
}

void CArea::DrawControl(HDC& dc, CRect) {
  const int width = m_rect.Width(), height = m_rect.Height();
  if (HDC cache = BeginCachedDraw(dc)) {
    Gdiplus::SolidBrush fill{Gdiplus::Color(FillArgb(m_fillColor))};
    const CRect whole(0, 0, width, height);
    if (m_nStartAlpha || m_nEndAlpha) {
      DrawTransition(cache, whole, fill);
    } else {
      Gdiplus::Graphics g(cache);
      if (m_bFrame) {
        Gdiplus::SolidBrush frame{Gdiplus::Color(m_frameColor)};
        g.FillRectangle(&frame, 0, 0, width, height);
        g.FillRectangle(&fill, 1, 1, width - 2, height - 2);
      } else {
        g.FillRectangle(&fill, 0, 0, width, height);
      }
    }
  }
  EndCachedDraw(dc);
}

void CArea::DrawTransition(HDC cache, const CRect& whole, Gdiplus::Brush& fill) {
  UniqueMemoryDc layer_dc(::CreateCompatibleDC(cache));
  if (!layer_dc) return;
  BYTE* bits = nullptr;
  UniqueGdiObject layer(
      MRender::CreateARGB32Bitmap(layer_dc.get(), whole.Width(), whole.Height(), &bits));
  if (!layer) return;
  UniqueSelection selected = SelectInto(layer_dc.get(), layer.get());
  {
    Gdiplus::Graphics g(layer_dc.get());
    g.FillRectangle(&fill, 0, 0, whole.Width(), whole.Height());
  }
  if (m_nDirection)
    MRender::DrawVerticalTransition(cache, layer_dc.get(), whole, whole, m_nStartAlpha,
                                    m_nEndAlpha);
  else
    MRender::DrawHorizontalTransition(cache, layer_dc.get(), whole, whole, m_nStartAlpha,
                                      m_nEndAlpha);
}

}  // namespace Zentu
