// MText: one line or a wrapped block of text over the background or over its own fill.
#include "ui/controls/mtext.h"

namespace Zentu {
namespace {

constexpr unsigned kScrollBarId = 1;
constexpr unsigned kScrollBarMoved = 8;

Gdiplus::StringAlignment Alignment(unsigned code, unsigned centre, unsigned far_side) {
  if (code == centre) return Gdiplus::StringAlignmentCenter;
  if (code == far_side) return Gdiplus::StringAlignmentFar;
  return Gdiplus::StringAlignmentNear;
}

}  // namespace

MText::MText(MObject* parent, unsigned id, CRect rect, const wchar_t* text, int visible)
    : MControlFont(parent, id, rect, text, visible, 0, 1) {}

const wchar_t* MText::GetClassNameW() const { return L"MText"; }

int MText::OnControlScroll(int, unsigned, CPoint) { return 1; }

long MText::OnBaseMessage(unsigned id, unsigned code, unsigned wparam, long lparam) {
  return OnMessage(id, code, wparam, lparam);
}

long MText::OnMessage(unsigned id, unsigned code, unsigned, long) {
  if (id == kScrollBarId && code == kScrollBarMoved) UpdateControl(1, 0);
  return 0;
}

void MText::SetControlRect(CRect rect) {
  MControlFont::SetControlRect(rect);
  if (!m_bScrollBar) return;
  for (MControl* child : m_children) {
    if (child->GetControlID() == kScrollBarId)
      child->SetRect(CRect(rect.right - m_nScrollBarWidth, rect.top, rect.right, rect.bottom));
  }
}

void MText::EnableTextBack(int on, Gdiplus::Color color) {
  if ((on != 0) != (m_bTextBack != 0)) {
    m_bTextBack = on;
    m_crTextBack = color.GetValue();
  }
  UpdateControl(1, 0);
}

bool MText::StoreMark(const wchar_t* title, const wchar_t* text, const Gdiplus::ARGB* color,
                      const int* flag) {
  bool changed = false;
  if (title && m_strTitle != title) {
    ClearGDIFont();
    SetControlTitle(title);
    changed = true;
  }
  if (m_strMark != text) {
    m_strMark = text;
    changed = true;
  }
  if (color && *color != m_crMark) {
    m_crMark = *color;
    changed = true;
  }
  if (flag && *flag != m_bMark) {
    m_bMark = *flag;
    changed = true;
  }
  return changed;
}

void MText::SetMarkText(const wchar_t* text) {
  if (text && StoreMark(nullptr, text, nullptr, nullptr)) UpdateControl(1, 0);
}

void MText::SetMarkText(const wchar_t* text, Gdiplus::Color color, int flag) {
  const Gdiplus::ARGB argb = color.GetValue();
  if (text && StoreMark(nullptr, text, &argb, &flag)) UpdateControl(1, 0);
}

void MText::SetTitleMarkText(const wchar_t* title, const wchar_t* text, int flag) {
  if (title && text && StoreMark(title, text, nullptr, &flag)) UpdateControl(1, 0);
}

void MText::SetMarkText(const wchar_t* title, const wchar_t* text, Gdiplus::Color color, int flag) {
  const Gdiplus::ARGB argb = color.GetValue();
  if (title && text && StoreMark(title, text, &argb, &flag)) UpdateControl(1, 0);
}

void MText::DrawControl(HDC& dc, CRect) {
  if (HDC cache = BeginCachedDraw(dc)) {
    const int width = m_rect.Width(), height = m_rect.Height();
    Gdiplus::Graphics graphics(cache);
    if (m_bTextBack) {
      // Written over the copied background, not blended with it.
      graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
      Gdiplus::SolidBrush back{Gdiplus::Color(m_crTextBack)};
      graphics.FillRectangle(&back, 0, 0, width, height);
      graphics.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    }
    RenderText(graphics, width, height);
  }
  EndCachedDraw(dc);
}

void MText::RenderText(Gdiplus::Graphics& graphics, int width, int height) {
  if (m_strTitle.IsEmpty()) return;
  const std::unique_ptr<Gdiplus::Font> font = MakeTextFont();
  if (!font) return;
  graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  const INT flags =
      m_bMultiLine
          ? Gdiplus::StringFormatFlagsNoClip | Gdiplus::StringFormatFlagsMeasureTrailingSpaces
          : Gdiplus::StringFormatFlagsNoWrap | Gdiplus::StringFormatFlagsMeasureTrailingSpaces;
  Gdiplus::StringFormat format(flags);
  format.SetAlignment(Alignment(m_uAlign, kAlignCenter, kAlignRight));
  format.SetLineAlignment(m_bMultiLine && m_bVCenter
                              ? Gdiplus::StringAlignmentCenter
                              : Alignment(m_uVAlign, kAlignVCenter, kAlignBottom));
  const Gdiplus::RectF layout(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height));
  graphics.DrawString(m_strTitle.GetString(), -1, font.get(), layout, &format, m_pTextBrush.get());
}

}  // namespace Zentu
