// MWindow: one native top-level window bound to an object that handles its messages.
#pragma once

#include <windows.h>

#include "ui/core/cstring.h"
#include "ui/core/geometry.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

class WindowBinding;

// The object is bound to its window from the non-client create message on (through the
// user-data slot, or the "Control" property for superclassed windows) and unbound at the
// non-client destroy message. Destroying the object does not destroy the window; it only
// unbinds it, so later messages get default processing instead of reaching a dead object.
// Copying copies the fields and does not create a second native window.
//
// The order of the virtual operations is part of the library's binary interface: the tray
// program derives from this class across the DLL boundary. Append, never reorder.
class ZENTU_API MWindow {
 public:
  MWindow() = default;
  MWindow(const MWindow&) = default;
  MWindow& operator=(const MWindow&) = default;

  virtual ~MWindow();
  virtual const wchar_t* GetWindowClassName() const;  // "MWindow"
  virtual const wchar_t* GetSuperClassName() const;   // null: no superclassing
  virtual int ShowWindow(int cmd);
  // Passes the message to the previous window procedure.
  virtual LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam);
  // Non-zero: the modal loop neither translates nor dispatches the message.
  virtual int PreTranslateMessage(MSG* msg);
  virtual int OnInitDialog();
  // Called after the final destroy message, with the window already unbound. The object
  // may delete itself here; nothing of it is touched afterwards.
  virtual void OnDestroyMessage(HWND hwnd);

  // Returns the existing window when it is alive; null when registration or creation fails.
  HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD ex_style, CRect rect,
              HMENU menu);
  HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD ex_style, CRect rect);
  HWND Create(HWND parent, CRect rect);  // title "MWindow", style 0x80B
  HWND Create(HWND parent);              // as above at (0, 0, 800, 600)

  int RegisterWindowClass();
  int RegisterSuperClass();

  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

  // Runs the window's own loop until it is destroyed; 0xFFFFFFFF when there is no window.
  // The result is the wparam of a close message posted to the window, else 0.
  UINT ShowModal(int cmd = SW_SHOWNORMAL);
  // Besides their messages, the modal loops of the calling thread wait for `handle` (a
  // process, an event): once it is signalled, `message` is posted to `window` and the handle
  // is no longer waited for. Nothing runs meanwhile. Withdraw it with StopWaitingFor (on any
  // thread) before the handle is closed. False when the thread waits for 63 handles already.
  static bool PostWhenSignalled(HANDLE handle, HWND window, UINT message);
  static void StopWaitingFor(HANDLE handle);

  void CenterWindow(MWindow* over = nullptr);
  void BringToTop();
  // The icons are loaded from Manager::m_hInstance and are not released by the window.
  void SetIcon(UINT icon_id);

  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetParentHwnd() const { return m_hParent; }

  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  // New = old without `remove`, plus `add`. 0 when unchanged; otherwise stores it, applies
  // it with SetWindowPos when swp_flags is non-zero, and returns 1.
  int ModifyStyle(DWORD remove, DWORD add, UINT swp_flags = 0);
  int ModifyExStyle(DWORD remove, DWORD add, UINT swp_flags = 0);

  LRESULT SendMessageW(UINT msg, WPARAM wparam = 0, LPARAM lparam = 0);
  BOOL PostMessageW(UINT msg, WPARAM wparam = 0, LPARAM lparam = 0);

  BOOL GetClientRect(RECT* rect) const;
  BOOL GetWindowRect(RECT* rect) const;
  BOOL ClientToScreen(POINT* point) const;
  BOOL ClientToScreen(RECT* rect) const;
  BOOL ScreenToClient(POINT* point) const;
  BOOL ScreenToClient(RECT* rect) const;
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL IsWindowVisible() const;
  BOOL IsIconic() const;
  BOOL ReleaseCapture();
  BOOL KillTimer(UINT_PTR id);
  BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  BOOL MoveWindow(const RECT* rect, BOOL repaint = TRUE);
  BOOL SetWindowPos(HWND insert_after, int x, int y, int cx, int cy, UINT flags);
  BOOL DestroyWindow();
  HWND SetCapture();
  HWND SetFocus();
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse_ms, TIMERPROC proc = nullptr);
  int GetWindowTextLengthW() const;  // -1 without a window
  void SetWindowTextW(const wchar_t* text);
  void GetWindowTextW(CString& text) const;
  void InvalidateRect(CRect rect, int erase);
  void Invalidate(int erase = FALSE);  // the whole client area

 protected:
  // Non-null, not all-ones (the guard of the style and message wrappers).
  bool HasHandle() const;
  // Non-null and a live window (the guard of the other wrappers).
  bool IsAlive() const;

  HWND m_hParent = nullptr;                 // not owned: parent or owner given to Create
  HWND m_hWnd = nullptr;                    // not owned: destroyed by the system's close handling
  WNDPROC m_OldWndProc = ::DefWindowProcW;  // where unhandled messages go

 private:
  friend class WindowBinding;  // the two window procedures' shared body
  int ModifyLong(int index, DWORD remove, DWORD add, UINT swp_flags);
  void Unbind();
};

}  // namespace Zentu
