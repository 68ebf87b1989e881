// MPicture: a skin image drawn at its size, tiled, stretched or as a nine-grid.
#include "ui/controls/mpicture.h"

#include <algorithm>

#include "ui/core/manager.h"
#include "ui/paint/mrender.h"

namespace Zentu {

MPicture::MPicture(MObject* parent, unsigned id, CRect rect, int visible, int enabled)
    : MControlFont(parent, id, rect, L"", visible, enabled, 1) {
  m_nImageCount = 1;
}

MPicture::~MPicture() { delete m_pImage; }

const wchar_t* MPicture::GetClassNameW() const { return L"MPicture"; }

int MPicture::TakeImage(Gdiplus::Image* image, int count) {
  delete m_pImage;
  m_pImage = image;
  if (!image) {
    m_uImageWidth = m_uImageHeight = 0;
    return 0;
  }
  m_nImageCount = count < 1 ? 1 : count;
  m_uImageWidth = image->GetWidth() / static_cast<unsigned>(m_nImageCount);
  m_uImageHeight = image->GetHeight();
  return 1;
}

int MPicture::SetImage(const wchar_t* name, int count) {
  const int loaded =
      TakeImage(name ? MRender::LoadImageFromFile(GetSkinPath(name)) : nullptr, count);
  UpdateControl(1, 0);
  return loaded;
}

int MPicture::SetImage(unsigned resource_id, CString type, int count) {
  const int loaded =
      TakeImage(MRender::LoadImageFromIDResource(resource_id, type, Manager::GetInstance()), count);
  if (loaded) UpdateControl(1, 0);
  return loaded;
}

int MPicture::SetShowMode(int mode, int corner) {
  if (mode == m_nShowMode && (mode != ShowModeFrame || corner == m_nCorner)) return 0;
  m_nShowMode = mode;
  m_nCorner = corner;
  UpdateControl(1, 0);
  return 1;
}

int MPicture::SetShowModeMID(int left, int top, int right, int bottom) {
  m_nMarginLeft = left;
  m_nMarginTop = top;
  m_nMarginRight = right;
  m_nMarginBottom = bottom;
  m_nShowMode = ShowModeFrameMID;
  UpdateControl(1, 0);
  return 1;
}

void MPicture::DrawControl(HDC& dc, CRect) {
  // Without an image the picture shows what lies beneath it.
  HDC cache = BeginCachedDraw(dc);
  if (cache && m_pImage) {
    Gdiplus::Graphics graphics(cache);
    DrawImage(graphics, m_rect.Width(), m_rect.Height());
  }
  EndCachedDraw(dc);
}

void MPicture::DrawImage(Gdiplus::Graphics& graphics, int width, int height) {
  const int fw = static_cast<int>(m_uImageWidth), fh = static_cast<int>(m_uImageHeight);
  const Gdiplus::Rect whole(0, 0, width, height);
  switch (m_nShowMode) {
    case ShowModeNormal: {
      const int x = m_uAlign == kAlignLeft    ? 0
                    : m_uAlign == kAlignRight ? width - fw
                                              : (width - fw) / 2;
      const int y = m_uVAlign == kAlignTop      ? 0
                    : m_uVAlign == kAlignBottom ? height - fh
                                                : (height - fh) / 2;
      graphics.DrawImage(m_pImage, Gdiplus::Rect(x, y, fw, fh), 0, 0, fw, fh, Gdiplus::UnitPixel);
      break;
    }
    case ShowModeTile:
      DrawTiles(graphics, width, height);
      break;
    case ShowModeStretch:
      graphics.DrawImage(m_pImage, whole, 0, 0, fw, fh, Gdiplus::UnitPixel);
      break;
    case ShowModeFrame:
      MRender::DrawImageFrame(&graphics, m_pImage, CRect(0, 0, width, height), 0, 0, fw, fh,
                              m_nCorner);
      break;
    case ShowModeFrameMID:
      MRender::DrawImageFrameMID(&graphics, m_pImage, CRect(0, 0, width, height), 0, 0, fw, fh,
                                 m_nMarginLeft, m_nMarginTop, m_nMarginRight, m_nMarginBottom);
      break;
    case ShowModeCustom:
      graphics.DrawImage(m_pImage, whole, m_rcCustom.left, m_rcCustom.top, m_rcCustom.Width(),
                         m_rcCustom.Height(), Gdiplus::UnitPixel);
      break;
    default:
      break;
  }
}

// Columns of the frame width and rows of the frame height; the last ones are cut.
void MPicture::DrawTiles(Gdiplus::Graphics& graphics, int width, int height) {
  const int fw = static_cast<int>(m_uImageWidth), fh = static_cast<int>(m_uImageHeight);
  if (fw <= 0 || fh <= 0) return;
  for (int y = 0; y < height; y += fh) {
    for (int x = 0; x < width; x += fw) {
      const int w = std::min(fw, width - x), h = std::min(fh, height - y);
      graphics.DrawImage(m_pImage, Gdiplus::Rect(x, y, w, h), 0, 0, w, h, Gdiplus::UnitPixel);
    }
  }
}

}  // namespace Zentu
