// Manager: the library's process-wide state (instance, fonts, scale, CPU temperature, windows).
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include "ui/core/cstring.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

class MWindow;

// Only static members; never instantiated. No locks: everything but the CPU temperature is
// set on the user-interface thread before windows are created.
class ZENTU_API Manager {
 public:
  Manager() = delete;

  static HINSTANCE m_hInstance;  // not owned: the module whose classes and resources are used
  static float m_cpu_temp;       // last temperature handed in; written by the tray's worker
  static CString m_fontname;
  static int m_fontwidth;
  static float m_scale_value;
  static Gdiplus::Color m_select_color;
  static Gdiplus::GdiplusStartupInput m_gdiplusStartupInput;
  static ULONG_PTR m_gdiplusToken;
  static UINT m_uControlID;  // public counter slot for applications; the library leaves it alone

  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  // Always a new "theme1\" string; there is no setter.
  static CString GetTheme();

  static void SetCPUTemp(float temp);
  static float GetCPUTemp();

  static void SetFont(CString name, int size);
  static void SetFontName(CString name);
  static CString GetFontName();
  static void SetFontWidth(int size);
  static int GetFontWidth();

  static void SetScaleValue(float scale);
  static float GetScaleValue();
  // value × scale, truncated toward zero (so small values can scale to 0).
  static int GetScaleValue(int value);

  static Gdiplus::Color GetSelectColor();

  // The window registry: an ordered set of window objects, each with a flag (0 on insert).
  // The library never reads it; it stays because applications may call AddWnd and DeleteWnd.
  static void AddWnd(MWindow* window);
  static void DeleteWnd(MWindow* window);
  static bool HasWnd(MWindow* window);
  static int GetWndCount();

  // Start GDI+, COM and OLE, and the reverse; results are not checked.
  static void InitGdiplus();
  static void UnInitGdiplus();

  // 1 while Alt and F4 both report as down (the message is not examined), else 0.
  static int PreTranslateMessage(MSG* msg);
  // The application's main loop: returns on WM_QUIT; drops messages while Alt+F4 is held.
  static void MessageLoop();
};

// Folder every skin image is loaded from: the executable's folder (not the library's)
// followed by "skins\" and Manager::GetTheme(), with a trailing backslash.
ZENTU_API CString GetSkinFolder();
// GetSkinFolder() with `name` appended as given (no separator added, no absolute-path check).
ZENTU_API CString GetSkinPath(const wchar_t* name);

}  // namespace Zentu
