// MPicture: a skin image drawn at its size, tiled, stretched or as a nine-grid.
#pragma once

#include "ui/controls/mcontrol.h"

namespace Zentu {

// How an MPicture draws frame 0 of its image; any other value draws only the background.
enum enumShowMode : int {
  ShowModeNormal = 0,    // natural size, placed by the alignments
  ShowModeTile = 1,      // tiled from the top-left corner
  ShowModeStretch = 2,   // stretched over the picture
  ShowModeFrame = 3,     // nine-grid with the corner size
  ShowModeFrameMID = 4,  // nine-grid with the four margins
  ShowModeCustom = 5,    // the custom source rectangle stretched over the picture
};

// Unlike the shared images of other controls, a picture loads its own image and owns it
// (m_pImage is owned here): it is deleted when replaced and with the picture.
class ZENTU_API MPicture : public MControlFont {
 public:
  // visible and enabled are the factory's two integers; a picture has no caption.
  MPicture(MObject* parent, unsigned id, CRect rect, int visible, int enabled);
  ~MPicture() override;

  const wchar_t* GetClassNameW() const override;  // "MPicture"
  void DrawControl(HDC& dc, CRect clip) override;
  // From the skin folder. 1 when loaded; on failure the picture has no image. Either way a
  // visible picture is redrawn.
  int SetImage(const wchar_t* name, int count) override;
  // From the application module's resources; redrawn only when loaded.
  int SetImage(unsigned resource_id, CString type, int count) override;

  // 0 when nothing changes (the same mode and, for mode 3, the same corner size).
  int SetShowMode(int mode, int corner = 4);
  // Mode 4 with these margins; 1.
  int SetShowModeMID(int left, int top, int right, int bottom);
  void SetCustomRect(CRect rect) { m_rcCustom = rect; }  // mode 5's source; no repaint
  int GetShowMode() const { return m_nShowMode; }

 protected:
  int TakeImage(Gdiplus::Image* image, int count);  // replaces the owned image
  void DrawImage(Gdiplus::Graphics& graphics, int width, int height);
  void DrawTiles(Gdiplus::Graphics& graphics, int width, int height);

  int m_nShowMode = ShowModeNormal;
  int m_nCorner = 4;
  int m_nMarginLeft = 0;
  int m_nMarginTop = 0;
  int m_nMarginRight = 0;
  int m_nMarginBottom = 0;
  CRect m_rcCustom;
};

}  // namespace Zentu
