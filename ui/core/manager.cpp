// Manager: the library's process-wide state.
#include "ui/core/manager.h"

#include <atomic>
#include <map>

#include "app/base/executable_path.h"
#include "ui/core/skin_folder.h"

namespace Zentu {

HINSTANCE Manager::m_hInstance = nullptr;
float Manager::m_cpu_temp = 0.0f;
CString Manager::m_fontname = L"Arial";
int Manager::m_fontwidth = 14;
float Manager::m_scale_value = 1.0f;
Gdiplus::Color Manager::m_select_color(255, 189, 48, 255);
Gdiplus::GdiplusStartupInput Manager::m_gdiplusStartupInput;
ULONG_PTR Manager::m_gdiplusToken = 0;
UINT Manager::m_uControlID = 0;

namespace {

// Window objects with their flag. Kept out of the exported class so that no standard
// container crosses the library boundary.
std::map<MWindow*, int>& WindowRegistry() {
  static std::map<MWindow*, int> registry;  // destroyed when the library unloads
  return registry;
}

// A key counts as down while its async state is non-zero, including the "pressed since the
// last query" bit.
bool AltF4Down() { return GetAsyncKeyState(VK_MENU) != 0 && GetAsyncKeyState(VK_F4) != 0; }

}  // namespace

void Manager::SetInstance(HINSTANCE instance) { m_hInstance = instance; }
HINSTANCE Manager::GetInstance() { return m_hInstance; }
CString Manager::GetTheme() { return CString(kThemeFolder); }

// The tray program's worker writes the temperature while the UI thread paints; an atomic
// access keeps that a defined, tear-free exchange of one aligned float.
void Manager::SetCPUTemp(float temp) {
  std::atomic_ref<float>(m_cpu_temp).store(temp, std::memory_order_relaxed);
}
float Manager::GetCPUTemp() {
  return std::atomic_ref<float>(m_cpu_temp).load(std::memory_order_relaxed);
}

void Manager::SetFont(CString name, int size) {
  m_fontname = std::move(name);
  m_fontwidth = size;
}
void Manager::SetFontName(CString name) { m_fontname = std::move(name); }
CString Manager::GetFontName() { return m_fontname; }
void Manager::SetFontWidth(int size) { m_fontwidth = size; }
int Manager::GetFontWidth() { return m_fontwidth; }

void Manager::SetScaleValue(float scale) { m_scale_value = scale; }
float Manager::GetScaleValue() { return m_scale_value; }
int Manager::GetScaleValue(int value) {
  // In single precision, like the factor itself: 10 × 0.7f rounds to 7.0f, where the same
  // product in double is 6.99999988 and would truncate to 6. A product outside the int range
  // saturates instead of being undefined.
  const float product = static_cast<float>(value) * m_scale_value;
  if (!(product == product)) return 0;
  if (product >= 2147483648.0f) return 2147483647;
  if (product <= -2147483648.0f) return -2147483647 - 1;
  return static_cast<int>(product);
}

Gdiplus::Color Manager::GetSelectColor() { return m_select_color; }

void Manager::AddWnd(MWindow* window) { WindowRegistry()[window] = 0; }
void Manager::DeleteWnd(MWindow* window) { WindowRegistry().erase(window); }
bool Manager::HasWnd(MWindow* window) { return WindowRegistry().count(window) != 0; }
int Manager::GetWndCount() { return static_cast<int>(WindowRegistry().size()); }

void Manager::InitGdiplus() {
  Gdiplus::GdiplusStartup(&m_gdiplusToken, &m_gdiplusStartupInput, nullptr);
  CoInitialize(nullptr);
  OleInitialize(nullptr);
  WindowRegistry().clear();
}

void Manager::UnInitGdiplus() {
  Gdiplus::GdiplusShutdown(m_gdiplusToken);
  CoUninitialize();
  OleUninitialize();
  WindowRegistry().clear();
}

int Manager::PreTranslateMessage(MSG*) { return AltF4Down() ? 1 : 0; }

void Manager::MessageLoop() {
  MSG msg = {};
  // GetMessage answers -1 on an invalid argument; treat that like the quit message
  // rather than spinning on it.
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (AltF4Down()) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

CString GetSkinFolder() {
  // The process's executable, not this library's.
  return SkinFolderFromExePath(calorix::ExecutablePath().c_str());
}

CString GetSkinPath(const wchar_t* name) {
  CString path = GetSkinFolder();
  path += name;
  return path;
}

}  // namespace Zentu
