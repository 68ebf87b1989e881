// PaintManager: the tooltip, the bubble tip and the drop shadow's settings.
#include "ui/paint/paint_manager.h"

#include <commctrl.h>

#include "ui/core/mairbladder.h"
#include "ui/core/manager.h"

namespace Zentu {
namespace {

constexpr UINT_PTR kToolId = 1313;

TOOLINFOW ToolInfo(HWND window, const wchar_t* text) {
  TOOLINFOW info{};
  info.cbSize = 44;  // the layout without lpReserved, accepted by every comctl32 version
  info.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_PARSELINKS;
  info.hwnd = window;
  info.uId = kToolId;
  info.lpszText = const_cast<wchar_t*>(text);
  return info;
}

}  // namespace

void PaintManager::DestroyPopups() {
  if (m_hToolTip && ::IsWindow(m_hToolTip)) ::DestroyWindow(m_hToolTip);
  m_hToolTip = nullptr;
  if (m_pAirBladder) {
    m_pAirBladder->DestroyWindow();
    delete m_pAirBladder;
    m_pAirBladder = nullptr;
  }
}

// ---- tooltip ----

void PaintManager::SetTooltip(CString text, CRect) {
  const bool live = m_hToolTip && ::IsWindow(m_hToolTip);
  if (text.IsEmpty()) {
    if (!live) return;
    TOOLINFOW info = ToolInfo(m_window.hwnd(), L"");
    ::SendMessageW(m_hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    ::SendMessageW(m_hToolTip, TTM_ACTIVATE, FALSE, 0);
    return;
  }
  if (!live) {
    if (!IsLive()) return;
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&classes);
    m_hToolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, TOOLTIPS_CLASSW,
                                   WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window.hwnd(),
                                   nullptr, GetLibraryInstance(), nullptr);
    if (!m_hToolTip) return;
    ::SendMessageW(m_hToolTip, TTM_SETMAXTIPWIDTH, 0, 256);
    ::SendMessageW(m_hToolTip, TTM_SETTIPTEXTCOLOR, 0xFFFFFF, 0);
    TOOLINFOW info = ToolInfo(m_window.hwnd(), text.GetString());
    info.uFlags = TTF_PARSELINKS;
    info.rect = GetClientRect();
    ::SendMessageW(m_hToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    if (::GetACP() == 936) {
      RECT margin{2, 3, 0, 0};
      ::SendMessageW(m_hToolTip, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
    }
  }
  TOOLINFOW info = ToolInfo(m_window.hwnd(), text.GetString());
  ::SendMessageW(m_hToolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  ::SendMessageW(m_hToolTip, TTM_ACTIVATE, TRUE, 0);
}

void PaintManager::ClearTooltip() {
  if (!m_hToolTip || !::IsWindow(m_hToolTip)) return;
  SetTooltip(CString(), CRect());
  m_nTooltipCtrlID = 0;
}

// ---- bubble tip ----

int PaintManager::SetAirBladderMsg(const wchar_t* text, POINT point, AIRBLADDER_TYPE type,
                                   AIRBLADDER_MODE mode) {
  if (m_pAirBladder == nullptr) {
    if (!IsLive()) return 0;
    auto* bubble = new MAirBladder;
    if (!bubble->Create(m_window.hwnd(), L"AirBladder Window", 0x96000080, 0, CRect())) {
      delete bubble;
      return 0;
    }
    bubble->LoadBKImage(CString(L"img_tip_bk.png"));
    bubble->LoadArrowLImage(CString(L"img_tip_arrow_left.png"));
    bubble->LoadArrowRImage(CString(L"img_tip_arrow_right.png"));
    bubble->LoadArrowTImage(CString(L"img_tip_arrow_top.png"));
    m_pAirBladder = bubble;
  }
  return m_pAirBladder->SetAirBladderMsg(text, point, type, mode);
}

int PaintManager::ShowAirBladder(int show, int mode) {
  if (m_pAirBladder == nullptr) return 0;
  if (mode != 0) {
    if (show)
      m_nAirBladderMode = mode;
    else if (mode != m_nAirBladderMode)
      return 0;
  }
  return m_pAirBladder->ShowWindow(show);
}

// ---- drop shadow ----

void PaintManager::CreateShadow(int show, bool option) {
  MShadow::Initialize(Manager::m_hInstance, option);
  m_shadow.ShowShadow(show);
  m_shadow.Create(this);
}

int PaintManager::SetSize(int size) { return m_shadow.SetSize(size); }
int PaintManager::SetSharpness(unsigned int sharpness) { return m_shadow.SetSharpness(sharpness); }
int PaintManager::SetDarkness(unsigned int darkness) { return m_shadow.SetDarkness(darkness); }
int PaintManager::SetPosition(int x, int y) { return m_shadow.SetPosition(x, y); }
int PaintManager::SetShadowColor(unsigned long color) { return m_shadow.SetColor(color); }

namespace {
void TakeMargins(MShadow& shadow, const CRect& m) {
  if (m.left >= 0 && m.top >= 0 && m.right >= 0 && m.bottom >= 0)
    shadow.SetShadowCorner(m.left, m.top, m.right, m.bottom);
}
}  // namespace

int PaintManager::SetShadowImage(const wchar_t* name, CRect margins) {
  const int result = m_shadow.SetImage(name);
  TakeMargins(m_shadow, margins);
  return result;
}

int PaintManager::SetShadowImage(UINT resource_id, CRect margins) {
  const int result = m_shadow.SetImage(resource_id);
  TakeMargins(m_shadow, margins);
  return result;
}

}  // namespace Zentu
