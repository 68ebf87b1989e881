// MButton: a skinned push button with four state pictures and a caption.
#include "ui/controls/mbutton.h"

#include "ui/core/manager.h"
#include "ui/paint/mrender.h"

namespace Zentu {
namespace {

constexpr int kCells = 4;
constexpr Gdiplus::ARGB kDisabledCaption = 0xFF808080;

void UseCursor(LPCWSTR cursor) { ::SetCursor(::LoadCursorW(nullptr, cursor)); }

}  // namespace

MButton::MButton(MObject* parent, unsigned id, CRect rect, const wchar_t* text, int visible,
                 int enabled)
    : MControlFont(parent, id, rect, text, visible, enabled, 1),
      // A button made disabled shows the disabled picture from the start.
      m_nState(enabled ? kButtonNormal : kButtonDisabled) {
  m_uAlign = kAlignCenter;
}

MButton::~MButton() { delete m_pIconImage; }

const wchar_t* MButton::GetClassNameW() const { return L"MButton"; }

int MButton::SetIconImage(const wchar_t* name, int count) {
  delete m_pIconImage;
  m_pIconImage = name ? MRender::LoadImageFromFile(GetSkinPath(name)) : nullptr;
  if (!m_pIconImage) return 0;
  m_nIconFrameCount = count < 1 ? 1 : count;
  m_nIconFrameWidth = static_cast<int>(m_pIconImage->GetWidth()) / m_nIconFrameCount;
  m_nIconFrameHeight = static_cast<int>(m_pIconImage->GetHeight());
  return 1;
}

// ---- state machine ----

int MButton::ChangeState(int state) {
  if (state == m_nState) return 0;
  m_nState = state;
  UpdateControl(0, 0);
  return 1;
}

void MButton::SetControlEnabled(int enabled) {
  if ((enabled != 0) == (m_bEnabled != 0)) return;
  MControlFont::SetControlEnabled(enabled);
  ChangeState(enabled ? kButtonNormal : kButtonDisabled);
}

int MButton::OnControlMouseMove(unsigned, CPoint point) {
  if (!m_bEnabled || m_nState == kButtonPressed) return 0;
  const bool inside = m_rect.PtInRect(point);
  UseCursor(inside ? IDC_HAND : IDC_ARROW);
  return ChangeState(inside ? kButtonHover : kButtonNormal);
}

int MButton::OnControlLButtonDown(unsigned, CPoint point) {
  if (!m_bEnabled || !m_rect.PtInRect(point)) return 0;
  UseCursor(IDC_HAND);
  const int changed = ChangeState(kButtonPressed);
  // The parent may remove the button or end the dialog here: nothing follows.
  SendMessageW(kButtonEventPressed, 0, 0);
  return changed;
}

int MButton::OnControlLButtonUp(unsigned, CPoint point) {
  if (!m_bEnabled) return 0;
  const bool inside = m_rect.PtInRect(point);
  const bool click = inside && m_nState == kButtonPressed;
  if (!ChangeState(inside ? kButtonHover : kButtonNormal)) return 0;
  // The parent may remove the button or end the dialog here: nothing follows.
  if (click) SendMessageW(kButtonEventClicked, 0, 0);
  return 1;
}

// ---- drawing ----

void MButton::DrawControl(HDC& dc, CRect) {
  const int width = m_rect.Width(), height = m_rect.Height();
  if (width <= 0 || height <= 0) return;
  if (!m_bUpdate) RenderCells(dc, width, height);
  if (!GetMemDC()) return;
  MRender::BitBlt(dc, m_rect.left, m_rect.top, width, height, GetMemDC(), width * m_nState, 0);
}

// Each cell is composed over what lies beneath the button, then takes its frame of the strip.
void MButton::RenderCells(HDC& dc, int width, int height) {
  UpdateMemDC(dc, kCells * width, height);
  HDC cache = GetMemDC();
  if (!cache) return;
  for (int i = 0; i < kCells; ++i)
    MRender::BitBlt(cache, i * width, 0, width, height, dc, m_rect.left, m_rect.top);
  Gdiplus::Graphics graphics(cache);
  if (m_pImage) {
    for (int i = 0; i < kCells; ++i) {
      MRender::DrawImageFrame(&graphics, m_pImage, CRect(i * width, 0, (i + 1) * width, height),
                              static_cast<int>(m_uImageWidth) * i, 0,
                              static_cast<int>(m_uImageWidth), static_cast<int>(m_uImageHeight),
                              m_nFrameSize);
    }
  }
  if (!m_strTitle.IsEmpty()) DrawCaptions(graphics, width, height);
}

void MButton::DrawCaptions(Gdiplus::Graphics& graphics, int width, int height) {
  const std::unique_ptr<Gdiplus::Font> font = MakeTextFont();
  if (!font) return;
  graphics.SetTextRenderingHint(static_cast<Gdiplus::TextRenderingHint>(m_nTextRenderingHint));
  Gdiplus::StringFormat format(Gdiplus::StringFormatFlagsNoWrap |
                               Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
  format.SetAlignment(Gdiplus::StringAlignmentCenter);
  format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
  Gdiplus::SolidBrush disabled{Gdiplus::Color(kDisabledCaption)};
  const CRect text = m_rcText.IsRectEmpty() ? CRect(0, 0, width, height) : m_rcText;
  for (int i = 0; i < kCells; ++i) {
    // The pressed caption sits one pixel lower and further right.
    const int shift = i == kButtonPressed ? 1 : 0;
    const Gdiplus::RectF layout(
        static_cast<float>(text.left + i * width + shift), static_cast<float>(text.top + shift),
        static_cast<float>(text.Width()), static_cast<float>(text.Height()));
    Gdiplus::Brush* brush = i == kButtonDisabled ? &disabled : m_pTextBrush.get();
    graphics.DrawString(m_strTitle.GetString(), -1, font.get(), layout, &format, brush);
  }
}

}  // namespace Zentu
