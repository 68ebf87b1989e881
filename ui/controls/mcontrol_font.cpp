// MControlFont: title, font, text colour, alignment and skin image shared by text and image
// controls.
#include <cwchar>

#include "ui/controls/mcontrol.h"
#include "ui/core/manager.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {

MControlFont::MControlFont(MObject* parent, unsigned id, CRect rect, const wchar_t* title,
                           int visible, int enabled, int response)
    : MControl(parent, id, rect, visible, enabled, response),
      m_strTitle(title),
      m_strFontName(Manager::GetFontName()),
      m_nFontSize(Manager::GetFontWidth()),
      m_pTextBrush(new Gdiplus::SolidBrush(Gdiplus::Color(m_textColor))) {}

MControlFont::~MControlFont() { ClearGDIFont(); }

void MControlFont::ClearGDIFont() {
  if (m_gdiFont) ::DeleteObject(m_gdiFont);
  m_gdiFont = nullptr;
}

void MControlFont::SetTextFont(CString name) { m_strFontName = name; }

void MControlFont::SetTextColor(Gdiplus::Color color) {
  m_textColor = color.GetValue();
  m_pTextBrush.reset(new Gdiplus::SolidBrush(color));
}

int MControlFont::SetImage(unsigned resource_id, CString type, int count) {
  if (!m_pManager) return 0;
  return UseImageRecord(m_pManager->AddImgResInfo(resource_id, type, count, 1));
}

int MControlFont::SetImage(const wchar_t* name, int count) {
  if (!m_pManager || !name) return 0;
  return UseImageRecord(m_pManager->AddImgResInfo(name, count));
}

int MControlFont::UseImageRecord(const ImgResInfo* record) {
  if (!record || !record->image) return 0;
  m_pImage = record->image;
  m_uImageWidth = static_cast<unsigned>(record->frame_width);
  m_uImageHeight = static_cast<unsigned>(record->frame_height);
  // The record keeps the count of its first request; its frame width was cut by that count.
  m_nImageCount = record->frame_count;
  UpdateControl(1, 0);
  return 1;
}

void MControlFont::SetControlTitle(const wchar_t* title) { m_strTitle = title; }

CString MControlFont::GetControlTitle() { return m_strTitle; }

void MControlFont::SetTitle(const wchar_t* title) {
  ClearGDIFont();
  SetControlTitle(title);
  UpdateControl(1, 0);
}

void MControlFont::SetAlignment(unsigned h) { SetAlignment(h, m_uVAlign); }

void MControlFont::SetVAlignment(unsigned v) { SetAlignment(m_uAlign, v); }

void MControlFont::SetAlignment(unsigned h, unsigned v) {
  if (h == m_uAlign && v == m_uVAlign) return;
  m_uAlign = h;
  m_uVAlign = v;
  UpdateControl(1, 0);
}

void MControlFont::SetFont(const wchar_t* name, int size, Gdiplus::FontStyle style) {
  m_strFontName = name;
  m_nFontSize = size;
  m_nFontStyle = static_cast<int>(style);
  ClearGDIFont();  // size and style are part of the cached font
}

void MControlFont::SetFontWidth(int size) {
  m_nFontSize = size;
  ClearGDIFont();
}

void MControlFont::SetFontStyle(int style) {
  m_nFontStyle = style;
  ClearGDIFont();
}

Gdiplus::FontFamily* MControlFont::GetFontFamily(const wchar_t* name) {
  if (!m_pManager) return nullptr;
  Gdiplus::FontFamily* family = m_pManager->FindTempFont(name);
  if (!family) return nullptr;
  // The manager's table keeps its family; the control keeps a copy of its own.
  m_pFontFamily.reset(family->Clone());
  return m_pFontFamily.get();
}

std::unique_ptr<Gdiplus::Font> MControlFont::MakeTextFont() {
  Gdiplus::FontFamily* family = GetFontFamily(m_strFontName);
  if (!family) return nullptr;
  auto font = std::make_unique<Gdiplus::Font>(
      family, static_cast<Gdiplus::REAL>(Manager::GetScaleValue(m_nFontSize)), m_nFontStyle,
      Gdiplus::UnitPixel);
  if (font->GetLastStatus() != Gdiplus::Ok) return nullptr;
  return font;
}

HFONT MControlFont::GetGDIFont() {
  if (m_gdiFont) return m_gdiFont;
  LOGFONTW lf{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
  // LF_FACESIZE (32) includes the terminator: at most 31 characters of the name survive.
  wcsncpy(lf.lfFaceName, Manager::GetFontName().GetString(), LF_FACESIZE - 1);
  lf.lfFaceName[LF_FACESIZE - 1] = L'\0';
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfHeight = -m_nFontSize;
  if (m_nFontStyle & Gdiplus::FontStyleBold) lf.lfWeight = FW_BOLD;
  lf.lfItalic = (m_nFontStyle & Gdiplus::FontStyleItalic) ? TRUE : FALSE;
  lf.lfUnderline = (m_nFontStyle & Gdiplus::FontStyleUnderline) ? TRUE : FALSE;
  m_gdiFont = ::CreateFontIndirectW(&lf);
  return m_gdiFont;
}

}  // namespace Zentu
