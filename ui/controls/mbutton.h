// MButton: a skinned push button with four state pictures and a caption.
#pragma once

#include "ui/controls/mcontrol.h"

namespace Zentu {

// Events a button reports to its parent (OnBaseMessage with the button's id).
enum : unsigned {
  kButtonEventPressed = 1,  // left press inside
  kButtonEventClicked = 2,  // release inside after a press inside
};

// Button states; each selects one cell of the cached picture.
enum : int {
  kButtonNormal = 0,
  kButtonHover = 1,
  kButtonPressed = 2,
  kButtonDisabled = 3,
};

// The image strip (MControlFont::SetImage) holds the four state pictures left to right;
// each is stretched over the button as a nine-grid. All four cells are rendered into one
// 4W-wide cached picture, so a change of state only copies another cell.
class ZENTU_API MButton : public MControlFont {
 public:
  // visible and enabled are the factory's two integers; the caption is `text`.
  MButton(MObject* parent, unsigned id, CRect rect, const wchar_t* text, int visible, int enabled);
  ~MButton() override;

  const wchar_t* GetClassNameW() const override;  // "MButton"
  void DrawControl(HDC& dc, CRect clip) override;
  void SetControlEnabled(int enabled) override;
  int OnControlMouseMove(unsigned flags, CPoint point) override;
  int OnControlLButtonDown(unsigned flags, CPoint point) override;
  int OnControlLButtonUp(unsigned flags, CPoint point) override;

  // Corner size of the nine-grid (default 8); no repaint.
  void SetFrameSize(int size) { m_nFrameSize = size; }
  // Where the caption goes, relative to the button; empty means the whole button.
  void SetTextRect(CRect rect) { m_rcText = rect; }
  // A second strip from the skin folder, kept for subclasses (MButton does not draw it).
  // 1 when it loaded.
  int SetIconImage(const wchar_t* name, int count);
  int GetState() const { return m_nState; }

 protected:
  // 0 when the state stays; otherwise the new cell is shown (the cache is kept) and 1.
  int ChangeState(int state);
  void RenderCells(HDC& dc, int width, int height);
  void DrawCaptions(Gdiplus::Graphics& graphics, int width, int height);

  int m_nState;
  int m_nFrameSize = 8;
  Gdiplus::Image* m_pIconImage = nullptr;  // owned
  int m_nIconFrameWidth = 0;
  int m_nIconFrameHeight = 0;
  int m_nIconFrameCount = 4;
  CRect m_rcIcon;
  CRect m_rcText;
};

}  // namespace Zentu
