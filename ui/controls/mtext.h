// MText: one line or a wrapped block of text over the background or over its own fill.
#pragma once

#include "ui/controls/mcontrol.h"

namespace Zentu {

// Created disabled (it takes no input of its own). The text is the control's title.
class ZENTU_API MText : public MControlFont {
 public:
  // visible is the factory's first integer.
  MText(MObject* parent, unsigned id, CRect rect, const wchar_t* text, int visible);

  const wchar_t* GetClassNameW() const override;  // "MText"
  void DrawControl(HDC& dc, CRect clip) override;
  int OnControlScroll(int delta, unsigned flags, CPoint point) override;  // takes the wheel
  long OnBaseMessage(unsigned id, unsigned code, unsigned wparam, long lparam) override;
  // Redraws the text when the scroll bar (child 1) reports code 8.
  long OnMessage(unsigned id, unsigned code, unsigned wparam, long lparam) override;
  void SetControlRect(CRect rect) override;

  // These store the flag only; no repaint.
  void EnableMultiLine(int on) { m_bMultiLine = on; }
  void EnableVCenter(int on) { m_bVCenter = on; }
  void EnableShadow(int on) { m_bShadow = on; }
  // The colour is taken only when the flag changes; a visible text is redrawn either way.
  void EnableTextBack(int on, Gdiplus::Color color);

  // The mark text family stores what the extended text controls draw; MText draws none of
  // it. A visible text is redrawn when anything changed. A null text changes nothing.
  void SetMarkText(const wchar_t* text);
  void SetMarkText(const wchar_t* text, Gdiplus::Color color, int flag);
  void SetTitleMarkText(const wchar_t* title, const wchar_t* text, int flag);
  void SetMarkText(const wchar_t* title, const wchar_t* text, Gdiplus::Color color, int flag);
  CString GetMarkText() const { return m_strMark; }
  int GetVirtualHeight() const { return 0; }

 protected:
  // Stores what differs; true when anything did.
  bool StoreMark(const wchar_t* title, const wchar_t* text, const Gdiplus::ARGB* color,
                 const int* flag);
  void RenderText(Gdiplus::Graphics& graphics, int width, int height);

  int m_bScrollBar = 0;
  int m_nScrollBarWidth = 8;
  int m_bShadow = 0;
  int m_bTextBack = 0;
  Gdiplus::ARGB m_crTextBack = 0xFF008000;
  Gdiplus::ARGB m_crSecond = 0xFF505050;
  Gdiplus::ARGB m_crMark = 0xFFED801B;
  CString m_strMark;
  int m_bMark = 0;
  int m_bMultiLine = 0;
  int m_bVCenter = 0;
};

}  // namespace Zentu
