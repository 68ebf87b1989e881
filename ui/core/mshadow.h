// MShadow: the soft drop shadow that follows a window, computed or drawn from an image.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include <map>

#include "ui/core/cstring.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

namespace shadow_math {
struct Settings;
}

class PaintManager;

// A click-through layered window kept directly behind its parent, a little larger than it.
// The parent's window procedure is replaced by ParentProc, which makes the shadow follow
// moves, sizes, shows and hides. UI thread only.
class ZENTU_API MShadow {
 public:
  // Bits of the status.
  enum : BYTE {
    kEnabled = 1,      // enabled for a parent
    kShown = 2,        // the shadow window is shown
    kParentShown = 4,  // the parent is shown
  };

  MShadow();
  MShadow(const MShadow&) = delete;
  MShadow& operator=(const MShadow&) = delete;
  // Gives the parent its own window procedure back and destroys the shadow window, so no
  // message of a parent that outlives this object can reach it.
  virtual ~MShadow();

  // Registers the "ShadowWnd" class with `instance`: 1, or 0 when it already was and
  // `force` is false.
  static int Initialize(HINSTANCE instance, bool force);
  // Creates the shadow window of the manager's window and subclasses that window; nothing
  // unless the shadow is to be shown, and nothing for a window that already has a shadow.
  void Create(PaintManager* manager);

  void ShowShadow(int show) { m_bShow = show; }
  int IsShowShadow() const { return m_bShow; }
  // While set, the parent's messages are not acted on and the shadow window stays hidden.
  void DisableShadow(int disable);
  int IsDisableShadow() const { return m_bDisabled; }

  // Out of range: 0 and nothing changes. Else stored, redrawn when shown, 1.
  int SetSize(int size);                     // -35..35
  int SetSharpness(unsigned int sharpness);  // 0..35
  int SetDarkness(unsigned int darkness);    // 0..255
  int SetPosition(int x, int y);             // -35..35 each
  int SetColor(unsigned long color);         // 0x00RRGGBB
  // Image mode from a skin file: 0 for a null name, else 1 (an undecodable image draws
  // nothing).
  int SetImage(const wchar_t* name);
  // Image mode from a "PNG" resource of the application module; returns 0.
  int SetImage(unsigned int resource_id);
  // Image mode: how far the shadow reaches beyond the parent on each side, also the nine
  // part frame's margins. Any negative value: 0.
  int SetShadowCorner(int left, int top, int right, int bottom);
  // Copies this shadow's settings into `other` through its setters; 1.
  int CopyShadow(MShadow* other);

  HWND GetShadowWnd() const { return m_hWnd; }
  PaintManager* GetManager() const { return m_pManager; }
  BYTE GetStatus() const { return m_Status; }
  int GetSize() const { return m_nSize; }
  unsigned GetSharpness() const { return m_nSharpness; }
  unsigned GetDarkness() const { return m_nDarkness; }
  int GetOffsetX() const { return m_nxOffset; }
  int GetOffsetY() const { return m_nyOffset; }
  unsigned long GetColor() const { return m_Color; }
  int IsImageMode() const { return m_bImageMode; }
  CString GetImageName() const { return m_strImageName; }
  UINT GetImageResID() const { return m_uImageResID; }
  Gdiplus::Image* GetImage() const { return m_pImage; }

 protected:
  // Draws the shadow for `parent` where it belongs and presents it.
  void Update(HWND parent);
  // The computed shadow of `parent`, whose window rectangle is `rect`, into `pixels`.
  void MakeShadow(UINT32* pixels, HWND parent, RECT* rect);
  static COLORREF PreMultiply(COLORREF color, UINT alpha);
  static LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

 private:
  // A subclassed parent: its shadow and the procedure it had before.
  struct Subclass {
    MShadow* shadow;  // not owned
    WNDPROC previous;
  };
  static std::map<HWND, Subclass>& GetShadowMap();

  shadow_math::Settings Settings() const;
  void OnParentMessage(HWND parent, UINT msg, WPARAM wparam, LPARAM lparam);
  void OnParentSize(HWND parent, WPARAM type, LPARAM size);
  void OnParentShow(BOOL show);
  void MoveShadow(HWND parent);
  void Redraw();
  void ShowNoActivate();
  void Hide();
  HWND Owner() const;
  void ReplaceImage(Gdiplus::Image* image);
  static BYTE StatusOf(DWORD parent_style);

  static bool s_bHasInit;

  PaintManager* m_pManager = nullptr;  // not owned: the manager whose window casts the shadow
  HWND m_hWnd = nullptr;               // owned: the shadow window (also destroyed with its owner)
  WNDPROC m_OriginParentProc = nullptr;
  BYTE m_Status = 0;
  int m_bImageMode = 0;
  int m_bShow = 0;
  int m_bDisabled = 0;
  Gdiplus::Image* m_pImage = nullptr;  // owned
  UINT m_nImageWidth = 0;
  UINT m_nImageHeight = 0;
  BYTE m_nDarkness = 150;
  BYTE m_nSharpness = 5;
  signed char m_nSize = 0;
  signed char m_nxOffset = 5;
  signed char m_nyOffset = 5;
  WORD m_WndSize[2] = {0, 0};  // client width and height from the parent's last size message
  int m_bUpdate = 0;           // redraw at the parent's next paint message
  unsigned long m_Color = 0;
  CString m_strImageName;
  UINT m_uImageResID = 0;
  RECT m_rcCorner{0, 0, 0, 0};
};

}  // namespace Zentu
