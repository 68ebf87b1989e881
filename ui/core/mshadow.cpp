// MShadow: the soft drop shadow that follows a window, computed or drawn from an image.
#include "ui/core/mshadow.h"

#include <vector>

#include "ui/core/layered_surface.h"
#include "ui/core/manager.h"
#include "ui/core/shadow_math.h"
#include "ui/paint/mrender.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {
namespace {

constexpr wchar_t kShadowClass[] = L"ShadowWnd";
constexpr DWORD kShadowExStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT;
constexpr DWORD kShadowStyle = 0x80880000;  // pop-up, border, system menu
constexpr BYTE kAllShown = MShadow::kEnabled | MShadow::kShown | MShadow::kParentShown;

// The rectangles of a region, in its own coordinates.
std::vector<CRect> RegionRects(HRGN region) {
  const DWORD bytes = ::GetRegionData(region, 0, nullptr);
  if (bytes < sizeof(RGNDATAHEADER)) return {};
  std::vector<BYTE> data(bytes);
  auto* header = reinterpret_cast<RGNDATA*>(data.data());
  if (!::GetRegionData(region, bytes, header)) return {};
  const auto* rects = reinterpret_cast<const RECT*>(header->Buffer);
  return std::vector<CRect>(rects, rects + header->rdh.nCount);
}

}  // namespace

bool MShadow::s_bHasInit = false;

std::map<HWND, MShadow::Subclass>& MShadow::GetShadowMap() {
  static std::map<HWND, Subclass> map;
  return map;
}

MShadow::MShadow() = default;

MShadow::~MShadow() {
  auto& map = GetShadowMap();
  for (auto it = map.begin(); it != map.end();) {
    if (it->second.shadow != this) {
      ++it;
      continue;
    }
    const HWND parent = it->first;
    const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(parent, GWLP_WNDPROC));
    if (current == &MShadow::ParentProc) {
      ::SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(it->second.previous));
      it = map.erase(it);
    } else {
      // Someone subclassed the parent after us and still calls ParentProc: keep forwarding.
      it->second.shadow = nullptr;
      ++it;
    }
  }
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  ReplaceImage(nullptr);
}

int MShadow::Initialize(HINSTANCE instance, bool force) {
  if (s_bHasInit && !force) return 0;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  wc.lpszClassName = kShadowClass;
  ::RegisterClassExW(&wc);  // "already registered" is as good as registered
  s_bHasInit = true;
  return 1;
}

BYTE MShadow::StatusOf(DWORD parent_style) {
  if ((parent_style & WS_VISIBLE) == 0) return kEnabled;
  if (parent_style & (WS_MINIMIZE | WS_MAXIMIZE)) return kEnabled | kParentShown;
  return kAllShown;
}

void MShadow::Create(PaintManager* manager) {
  if (!m_bShow || manager == nullptr || (m_hWnd && ::IsWindow(m_hWnd))) return;
  const HWND parent = manager->GetPaintWnd();
  auto& map = GetShadowMap();
  if (!::IsWindow(parent) || map.count(parent)) return;
  const DWORD style = ::GetWindowLongW(parent, GWL_STYLE);
  m_hWnd =
      ::CreateWindowExW(kShadowExStyle, kShadowClass, nullptr, kShadowStyle | (style & WS_DLGFRAME),
                        CW_USEDEFAULT, 0, 0, 0, parent, nullptr, Manager::m_hInstance, nullptr);
  if (!m_hWnd) return;
  m_pManager = manager;
  m_Status = StatusOf(style);
  if (m_Status == kAllShown) {
    ShowNoActivate();
    Update(parent);
  }
  m_OriginParentProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MShadow::ParentProc)));
  map[parent] = {this, m_OriginParentProc};
}

LRESULT CALLBACK MShadow::ParentProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto& map = GetShadowMap();
  const auto found = map.find(hwnd);
  if (found == map.end()) return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  const Subclass link = found->second;
  if (link.shadow && !link.shadow->m_bDisabled)
    link.shadow->OnParentMessage(hwnd, msg, wparam, lparam);
  // Forgotten even while disabled: a stale handle could later name another window.
  if (msg == WM_NCDESTROY) map.erase(hwnd);
  return ::CallWindowProcW(link.previous, hwnd, msg, wparam, lparam);
}

void MShadow::OnParentMessage(HWND parent, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_DESTROY:
      if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
      break;
    case WM_MOVE:
      if (m_Status & kShown) MoveShadow(parent);
      break;
    case WM_SIZE:
      OnParentSize(parent, wparam, lparam);
      break;
    case WM_PAINT:
      if (m_bUpdate) {
        Update(parent);
        m_bUpdate = 0;
      }
      break;
    case WM_SHOWWINDOW:
      if (m_Status & kEnabled) OnParentShow(static_cast<BOOL>(wparam));
      break;
    case WM_ACTIVATEAPP:
    case WM_NCACTIVATE:
      ::SetWindowPos(m_hWnd, parent, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE);
      break;
    case WM_WINDOWPOSCHANGED:
      MoveShadow(parent);
      break;
    case WM_EXITSIZEMOVE:
      if (m_Status & kShown) Update(parent);
      break;
    default:
      break;
  }
}

void MShadow::OnParentSize(HWND parent, WPARAM type, LPARAM size) {
  if ((m_Status & kEnabled) == 0) return;
  const WORD width = LOWORD(size), height = HIWORD(size);
  if (type == SIZE_MINIMIZED || type == SIZE_MAXIMIZED) {
    Hide();
    m_Status &= ~kShown;
  } else if (m_Status & kParentShown) {
    // Growing: the rebuild waits for the parent's paint, which shows its new size.
    if (width > m_WndSize[0] || height > m_WndSize[1])
      m_bUpdate = 1;
    else
      Update(parent);
    if ((m_Status & kShown) == 0) {
      ShowNoActivate();
      m_Status |= kShown;
    }
  }
  m_WndSize[0] = width;
  m_WndSize[1] = height;
}

void MShadow::OnParentShow(BOOL show) {
  if (!show) {
    Hide();
    m_Status &= ~(kShown | kParentShown);
  } else if ((m_Status & kParentShown) == 0) {
    m_bUpdate = 1;
    ShowNoActivate();
    m_Status |= kShown | kParentShown;
  }
}

// The platform keeps an owned window in front of its owner, so "behind the parent" ends up
// directly in front of it; the transparent cut-out under the parent keeps it visible.
void MShadow::MoveShadow(HWND parent) {
  RECT r;
  if (!m_hWnd || !::GetWindowRect(parent, &r)) return;
  const int x = m_bImageMode ? r.left - m_rcCorner.left : r.left + m_nxOffset - m_nSize;
  const int y = m_bImageMode ? r.top - m_rcCorner.top : r.top + m_nyOffset - m_nSize;
  ::SetWindowPos(m_hWnd, parent, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void MShadow::DisableShadow(int disable) {
  m_bDisabled = disable;
  if (!m_hWnd || !::IsWindow(m_hWnd)) return;
  if (disable) {
    Hide();
    return;
  }
  const HWND owner = Owner();
  m_Status = StatusOf(::GetWindowLongW(owner, GWL_STYLE));
  if (m_Status == kAllShown) {
    ShowNoActivate();
    Update(owner);
  }
}

void MShadow::Update(HWND parent) {
  if (!m_bShow || (m_Status & kShown) == 0 || !m_hWnd || !::IsWindow(m_hWnd)) return;
  RECT r;
  if (!::GetWindowRect(parent, &r)) return;
  CRect place;
  if (m_bImageMode) {
    if (m_strImageName.IsEmpty() && m_uImageResID == 0) return;
    place = CRect(r.left - m_rcCorner.left, r.top - m_rcCorner.top, r.right + m_rcCorner.right,
                  r.bottom + m_rcCorner.bottom);
  } else {
    place = shadow_math::ComputedPlacement(Settings(), CRect(r));  // empty for size 0
  }
  const int width = place.Width(), height = place.Height();
  // A shadow of no size, or a surface that cannot be made, is not drawn at all.
  LayeredSurface surface(width, height);
  if (!surface) return;
  if (!m_bImageMode) {
    MakeShadow(surface.pixels(), parent, &r);
  } else if (m_pImage) {
    // An image that could not be decoded leaves the surface transparent.
    Gdiplus::Graphics graphics(surface.bitmap());
    MRender::DrawImageFrameMID(&graphics, m_pImage, CRect(0, 0, width, height), 0, 0,
                               static_cast<int>(m_nImageWidth), static_cast<int>(m_nImageHeight),
                               m_rcCorner.left, m_rcCorner.top, m_rcCorner.right,
                               m_rcCorner.bottom);
  }
  ::MoveWindow(m_hWnd, place.left, place.top, width, height, FALSE);
  const POINT at{place.left, place.top};
  surface.Present(m_hWnd, nullptr, &at);
}

void MShadow::MakeShadow(UINT32* pixels, HWND parent, RECT* rect) {
  const int width = rect->right - rect->left, height = rect->bottom - rect->top;
  // A window without a window region leaves the region empty: no pixel is drawn.
  std::vector<CRect> rects;
  if (HRGN region = ::CreateRectRgn(0, 0, 0, 0)) {
    if (::GetWindowRgn(parent, region) != ERROR) rects = RegionRects(region);
    ::DeleteObject(region);
  }
  shadow_math::MakeShadow(pixels, width, shadow_math::ExtentsFromRects(rects, width, height),
                          Settings());
}

shadow_math::Settings MShadow::Settings() const {
  shadow_math::Settings settings;
  settings.darkness = m_nDarkness;
  settings.sharpness = m_nSharpness;
  settings.size = m_nSize;
  settings.x_offset = m_nxOffset;
  settings.y_offset = m_nyOffset;
  settings.color = m_Color;
  return settings;
}

COLORREF MShadow::PreMultiply(COLORREF color, UINT alpha) {
  return shadow_math::PreMultiply(color, alpha);
}

// ---- settings ----

int MShadow::SetSize(int size) {
  if (!shadow_math::IsShift(size)) return 0;
  m_nSize = static_cast<signed char>(size);
  Redraw();
  return 1;
}

int MShadow::SetSharpness(unsigned int sharpness) {
  if (!shadow_math::IsSharpness(sharpness)) return 0;
  m_nSharpness = static_cast<BYTE>(sharpness);
  Redraw();
  return 1;
}

int MShadow::SetDarkness(unsigned int darkness) {
  if (!shadow_math::IsDarkness(darkness)) return 0;
  m_nDarkness = static_cast<BYTE>(darkness);
  Redraw();
  return 1;
}

int MShadow::SetPosition(int x, int y) {
  if (!shadow_math::IsShift(x) || !shadow_math::IsShift(y)) return 0;
  m_nxOffset = static_cast<signed char>(x);
  m_nyOffset = static_cast<signed char>(y);
  Redraw();
  return 1;
}

int MShadow::SetColor(unsigned long color) {
  m_Color = color;
  Redraw();
  return 1;
}

int MShadow::SetImage(const wchar_t* name) {
  if (name == nullptr) return 0;
  m_bImageMode = 1;
  m_strImageName = name;
  m_uImageResID = 0;  // the two sources exclude each other, so a copy takes the right one
  ReplaceImage(MRender::LoadImageFromFile(GetSkinPath(name)));
  Redraw();
  return 1;
}

int MShadow::SetImage(unsigned int resource_id) {
  ReplaceImage(nullptr);
  m_bImageMode = 1;
  m_uImageResID = resource_id;
  m_strImageName.Empty();
  ReplaceImage(MRender::LoadImageFromIDResource(resource_id, L"PNG", Manager::m_hInstance));
  Redraw();
  return 0;
}

int MShadow::SetShadowCorner(int left, int top, int right, int bottom) {
  if (left < 0 || top < 0 || right < 0 || bottom < 0) return 0;
  m_rcCorner = {left, top, right, bottom};
  Redraw();
  return 1;
}

int MShadow::CopyShadow(MShadow* other) {
  if (other == nullptr) return 0;
  if (m_bImageMode) {
    if (!m_strImageName.IsEmpty())
      other->SetImage(m_strImageName.GetString());
    else
      other->SetImage(m_uImageResID);
    other->SetShadowCorner(m_rcCorner.left, m_rcCorner.top, m_rcCorner.right, m_rcCorner.bottom);
    other->SetSize(m_nSize);
  } else {
    other->SetSize(m_nSize);
    other->SetSharpness(m_nSharpness);
    other->SetDarkness(m_nDarkness);
    other->SetColor(m_Color);
    other->SetPosition(m_nxOffset, m_nyOffset);
  }
  other->ShowShadow(m_bShow);
  return 1;
}

// ---- helpers ----

void MShadow::Redraw() {
  if (m_hWnd && ::IsWindow(m_hWnd) && (m_Status & kShown)) Update(Owner());
}

void MShadow::ShowNoActivate() {
  if (m_hWnd) ::ShowWindow(m_hWnd, SW_SHOWNA);
}

void MShadow::Hide() {
  if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
}

HWND MShadow::Owner() const { return ::GetWindow(m_hWnd, GW_OWNER); }

void MShadow::ReplaceImage(Gdiplus::Image* image) {
  delete m_pImage;
  m_pImage = image;
  m_nImageWidth = image ? image->GetWidth() : 0;
  m_nImageHeight = image ? image->GetHeight() : 0;
}

}  // namespace Zentu
