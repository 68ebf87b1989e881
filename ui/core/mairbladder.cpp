// MAirBladder: the bubble tip, a self-sizing layered pop-up with white text next to a point.
#include "ui/core/mairbladder.h"

#include <algorithm>

#include "ui/core/airbladder_math.h"
#include "ui/core/layered_surface.h"
#include "ui/core/manager.h"
#include "ui/core/window_message_table.h"
#include "ui/paint/mrender.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {
namespace {

constexpr float kFontPixels = 14.0f;
constexpr int kFrameCorner = 6;
// The text format: near / near, no wrapping, trailing spaces measured.
constexpr INT kFormatFlags =
    Gdiplus::StringFormatFlagsNoWrap | Gdiplus::StringFormatFlagsMeasureTrailingSpaces;

void Align(Gdiplus::StringFormat& format, Gdiplus::StringAlignment alignment) {
  format.SetAlignment(alignment);
  format.SetLineAlignment(alignment);
}

}  // namespace

MAirBladder::MAirBladder() : m_Format(kFormatFlags) {
  Align(m_Format, Gdiplus::StringAlignmentNear);
}

MAirBladder::~MAirBladder() {
  for (SkinImage* slot : {&m_bk, &m_arrowLeft, &m_arrowRight, &m_arrowTop}) slot->Replace(nullptr);
}

LRESULT MAirBladder::OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_SETFOCUS:
      OnSetFocus(reinterpret_cast<HWND>(wparam));
      break;
    case WM_KILLFOCUS:
      OnKillFocus(reinterpret_cast<HWND>(wparam));
      break;
    default:
      if (LRESULT answer = 0; DispatchWindowMessage(*this, msg, wparam, lparam, &answer)) {
        return answer;
      }
      break;
  }
  // The final destroy message never comes here: the window binding hands it to
  // OnDestroyMessage after unbinding.
  return MWindow::OnWindowMessage(msg, wparam, lparam);
}

int MAirBladder::PreTranslateMessage(MSG*) { return 0; }

int MAirBladder::OnInitDialog() {
  const HINSTANCE library = PaintManager::GetLibraryInstance();
  const HRSRC found = ::FindResourceW(library, MAKEINTRESOURCEW(kEmbeddedFontId), L"ttf");
  const HGLOBAL loaded = found ? ::LoadResource(library, found) : nullptr;
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes) return 1;
  // The collection stays with the bubble: a family outlives its collection on no platform.
  auto fonts = std::make_unique<Gdiplus::PrivateFontCollection>();
  fonts->AddMemoryFont(bytes, static_cast<INT>(::SizeofResource(library, found)));
  Gdiplus::FontFamily family;
  INT found_families = 0;
  if (fonts->GetFamilyCount() < 1 ||
      fonts->GetFamilies(1, &family, &found_families) != Gdiplus::Ok || found_families < 1)
    return 1;
  m_pFontFamily.reset(family.Clone());
  m_pFonts = std::move(fonts);
  return 1;
}

// ---- handlers ----

LRESULT MAirBladder::OnUserCloseWindow(WPARAM wparam, LPARAM lparam) {
  PostMessageW(WM_CLOSE, wparam, lparam);
  return 1;
}

void MAirBladder::CloseWindow() {
  if (IsAlive()) PostMessageW(WM_CLOSE, 0, 0);
}

int MAirBladder::OnCreate(LPCREATESTRUCTW) {
  const DWORD style = GetStyle();
  ::SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>((style & 0xFF3BFFFF) | 0x06000008));
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
  return 1;
}

int MAirBladder::OnSize(UINT, int, int) {
  if (IsAlive() && !::IsIconic(m_hWnd)) {
    RECT r;
    ::GetWindowRect(m_hWnd, &r);
    const int corner = ::IsZoomed(m_hWnd) ? 0 : 3;
    // Round-rectangle regions leave out their right and bottom edges: one more each way.
    HRGN region =
        ::CreateRoundRectRgn(0, 0, r.right - r.left + 1, r.bottom - r.top + 1, corner, corner);
    if (region && !::SetWindowRgn(m_hWnd, region, TRUE)) ::DeleteObject(region);
  }
  if (IsAlive()) ::InvalidateRect(m_hWnd, nullptr, FALSE);
  return 1;
}

int MAirBladder::OnKillFocus(HWND) {
  if (m_Mode != AirBladderModeKeep) ShowWindow(SW_HIDE);
  KillTimer(kHideTimer);
  return 1;
}

void MAirBladder::OnTimer(UINT id) {
  if (id != kHideTimer) return;
  KillTimer(kHideTimer);
  if (IsWindowVisible()) ShowWindow(SW_HIDE);
}

int MAirBladder::OnMouseMove(UINT, CPoint) { return 0; }
int MAirBladder::OnMouseLeave(UINT, LPARAM) { return 0; }
int MAirBladder::OnMouseHover(UINT, LPARAM) { return 0; }
int MAirBladder::OnMouseWheel(UINT, short, CPoint) { return 0; }
int MAirBladder::OnLButtonDown(UINT, CPoint) { return 0; }
int MAirBladder::OnLButtonUp(UINT, CPoint) { return 0; }
int MAirBladder::OnLButtonDblClk(UINT, CPoint) { return 0; }
int MAirBladder::OnRButtonDown(UINT, CPoint) { return 0; }
int MAirBladder::OnRButtonUp(UINT, CPoint) { return 0; }
int MAirBladder::OnRButtonDblClk(UINT, CPoint) { return 0; }
int MAirBladder::OnKeyDown(UINT, UINT, UINT) { return 0; }
int MAirBladder::OnNcHitTest(CPoint) { return 0; }
int MAirBladder::OnGetMinMaxInfo(MINMAXINFO*) { return 0; }
int MAirBladder::OnNcCalcSize(int, NCCALCSIZE_PARAMS*) { return 0; }
int MAirBladder::OnNcActivate(int) { return 1; }
int MAirBladder::OnSetFocus(HWND) { return 1; }
int MAirBladder::OnWindowPosChanging(WINDOWPOS*) { return 0; }
int MAirBladder::OnWindowPosChanged(WINDOWPOS*) { return 1; }
int MAirBladder::OnNcPaint() { return 0; }
int MAirBladder::OnClose() { return 1; }
int MAirBladder::PostNcDestroy() { return 0; }
int MAirBladder::OnDestroy() { return 0; }

// ---- images ----

int MAirBladder::SkinImage::Replace(Gdiplus::Image* loaded) {
  delete image;
  image = loaded;
  width = loaded ? loaded->GetWidth() : 0;
  height = loaded ? loaded->GetHeight() : 0;
  return loaded ? 1 : 0;
}

int MAirBladder::SkinImage::Load(const CString& name) {
  return Replace(MRender::LoadImageFromFile(GetSkinPath(name)));
}

int MAirBladder::SkinImage::Load(UINT id, const CString& type) {
  return Replace(MRender::LoadImageFromIDResource(id, type, Manager::m_hInstance));
}

int MAirBladder::LoadBKImage(CString name) { return m_bk.Load(name); }
int MAirBladder::LoadBKImage(UINT id, CString type) { return m_bk.Load(id, type); }
int MAirBladder::LoadArrowLImage(CString name) { return m_arrowLeft.Load(name); }
int MAirBladder::LoadArrowLImage(UINT id, CString type) { return m_arrowLeft.Load(id, type); }
int MAirBladder::LoadArrowRImage(CString name) { return m_arrowRight.Load(name); }
int MAirBladder::LoadArrowRImage(UINT id, CString type) { return m_arrowRight.Load(id, type); }
int MAirBladder::LoadArrowTImage(CString name) { return m_arrowTop.Load(name); }
int MAirBladder::LoadArrowTImage(UINT id, CString type) { return m_arrowTop.Load(id, type); }

// ---- text, placement and painting ----

int MAirBladder::SetAirBladderMsg(const wchar_t* text, POINT point, AIRBLADDER_TYPE type,
                                  AIRBLADDER_MODE mode) {
  if (text == nullptr) return 0;
  if (m_strText == text && point.x == m_point.x && point.y == m_point.y && type == m_Type &&
      mode == m_Mode)
    return 1;
  Align(m_Format, Gdiplus::StringAlignmentNear);
  m_strText = text;
  m_point = point;
  m_Type = type;
  m_Mode = mode;
  FitToText();
  if (type != AirBladderTypeStay && IsAlive()) SetTimer(kHideTimer, m_uHideDelay);
  return 1;
}

void MAirBladder::FitToText() {
  if (m_strText.IsEmpty()) return;
  Gdiplus::Size measured(0, 0);
  if (m_pFontFamily) {
    Gdiplus::Font font(m_pFontFamily.get(), kFontPixels, Gdiplus::FontStyleRegular,
                       Gdiplus::UnitPixel);
    measured = MRender::GetTextBounds(&font, &m_Format, m_strText);
  }
  const AirBladderLayout layout = PlaceAirBladder(m_Mode, CPoint(m_point), measured.Width,
                                                  measured.Height, CountLines(m_strText));
  if (layout.centred) Align(m_Format, Gdiplus::StringAlignmentCenter);
  m_nLineCount = layout.lines;
  m_nLineHeight = measured.Height;
  if (!IsAlive()) return;
  // Mode 5 can give a negative height for short texts: such a window is empty.
  MoveWindow(layout.rect.left, layout.rect.top, std::max<int>(layout.rect.Width(), 0),
             std::max<int>(layout.rect.Height(), 0), TRUE);
  OnPaint();
}

int MAirBladder::OnPaint() {
  if (!IsAlive() || ::IsIconic(m_hWnd)) return 0;
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  PaintScope paint(m_hWnd);
  LayeredSurface surface(client.right, client.bottom);
  if (!surface) return 0;
  {
    Gdiplus::Graphics graphics(surface.bitmap());
    DrawContent(graphics, client.right, client.bottom);
  }
  ModifyExStyle(0, WS_EX_LAYERED);
  RECT window;
  ::GetWindowRect(m_hWnd, &window);
  const POINT at{window.left, window.top};
  UniqueWindowDc dc = GetWindowDc(m_hWnd);
  surface.Present(m_hWnd, dc.get(), &at);
  return 1;
}

void MAirBladder::DrawContent(Gdiplus::Graphics& graphics, int width, int height) {
  if (m_bk.image)
    MRender::DrawImageFrame(&graphics, m_bk.image, CRect(0, 0, width - 1, height - 1), 0, 0,
                            static_cast<int>(m_bk.width), static_cast<int>(m_bk.height),
                            kFrameCorner);
  if (m_strText.IsEmpty() || !m_pFontFamily) return;
  Gdiplus::Font font(m_pFontFamily.get(), kFontPixels, Gdiplus::FontStyleRegular,
                     Gdiplus::UnitPixel);
  graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
  Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFF));
  const float text_height = static_cast<float>(m_nLineCount * m_nLineHeight);
  const Gdiplus::RectF layout(8.0f, (height - text_height) * 0.5f + m_nLineCount - 1,
                              static_cast<float>(width - 16), text_height + 2);
  const Gdiplus::Status status =
      graphics.DrawString(m_strText.GetString(), -1, &font, layout, &m_Format, &white);
  if (status != Gdiplus::Ok) m_LastStatus = status;
}

}  // namespace Zentu
