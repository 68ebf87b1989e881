// PaintManager: a window's controls, its off-screen paint pass, input routing and resources.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <map>
#include <vector>

#include "ui/core/cstring.h"
#include "ui/core/geometry.h"
#include "ui/core/mshadow.h"
#include "ui/core/shared_types.h"
#include "ui/core/zentu_api.h"
#include "ui/paint/caret.h"
#include "ui/paint/control_timers.h"
#include "ui/paint/control_tree.h"
#include "ui/paint/drop_target.h"
#include "ui/paint/input_router.h"
#include "ui/paint/message_overlay.h"
#include "ui/paint/mtimer_list.h"
#include "ui/paint/paint_window.h"
#include "ui/paint/painter.h"
#include "ui/paint/resource_cache.h"
#include "ui/paint/rktimer.h"

namespace Zentu {

class MObject;
class MWindow;
class MControl;
class MControlFont;
class MAirBladder;
class PaintCache;

// Resource ids of the library's embedded images and font.
inline constexpr UINT kScrollImageHorizontal = 101;
inline constexpr UINT kScrollImageVertical = 102;
inline constexpr UINT kEmbeddedFontId = 106;

// Owned by value by its dialog; owns every control created through it and the images and
// fonts it hands out. Its work is done by the parts it holds (the window, the control tree, the
// input router, the timers, the overlay, the caret, the resources); the members here forward to
// them. All members run on the window's thread except where noted (docs/ARCHITECTURE.md).
class ZENTU_API PaintManager : public RKTimer, public CIDropTarget {
 public:
  PaintManager();
  PaintManager(const PaintManager&) = delete;
  PaintManager& operator=(const PaintManager&) = delete;
  ~PaintManager() override;

  // Called on the multimedia timer thread: ticks the M timer list for this manager's M timer.
  void OnMTimer(UINT id) override;
  using RKTimer::OnMTimer;
  bool OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD* effect) override;

  // ---- set-up and teardown ----
  void Init(HWND window, MWindow* owner);
  void DestroyData();
  int IsInit() const { return m_bInit; }

  // ---- controls ----
  // kind 1: control list, 0: area list; any other kind lists it nowhere (caller owns it).
  MControl* CreateControl(int kind, MObject* parent, const wchar_t* class_name, UINT id, CRect rect,
                          const wchar_t* text, int first, int second);
  MControl* CreateControl(MObject* parent, const wchar_t* class_name, UINT id, CRect rect,
                          const wchar_t* text, int first, int second);
  MControl* CreateArea(MObject* parent, const wchar_t* class_name, UINT id, CRect rect,
                       const wchar_t* text, int first, int second);
  MControl* GetControl(UINT id);
  void RemoveControl(MControl* control);
  void ClearControls();
  void ClearAreaControls();
  void ClearAllControls();
  std::vector<MControl*>& GetControls() { return m_tree.controls(); }
  std::vector<MControl*>& GetAreaControls() { return m_tree.areas(); }
  long OnControlUpdate(CRect rect, int flag, MControl* control);
  void Invalidate();
  void InvalidateRect(const RECT* rect, int erase);

  // ---- painting and window messages ----
  LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam);
  int OnPaint();
  // The paint pass without the closing 15 ms pause: 0 nothing to paint, 1 minimised,
  // 2 painted. OnPaint pauses after 2.
  int RenderPass();
  // Sees every finished off-screen surface (bottom-up B,G,R,A rows) just before it is
  // presented; for screenshots and tests. Null switches it off.
  using SurfaceHook = Painter::SurfaceHook;
  void SetSurfaceHook(SurfaceHook hook, void* context) { m_painter.SetSurfaceHook(hook, context); }
  // The steps of a paint pass, in the order they run; a pass skips what it has nothing for.
  enum PaintStep : int {
    PaintStepBegin,        // the update region, BeginPaint, the surface made or kept
    PaintStepBackground,   // drawn onto a blank surface, or restored from the kept copy
    PaintStepControls,     // the controls and the caret
    PaintStepAlphaRepair,  // opaque alpha where GDI drew
    PaintStepPointer,      // where the pointer is, for the overlay's outline
    PaintStepText,         // the temperature text
    PaintStepMessage,      // the message overlay
    PaintStepFlush,        // GDI+ and GDI finish what they queued
    PaintStepCompare,      // what changed since the last hand-over
    PaintStepHandOver,     // to the layered window, or the copy to the window
    PaintStepEnd,          // EndPaint, and what a pass without the cache lets go
    PaintStepCount
  };
  // Told as each step of a pass ends; for benchmarks. Null switches it off.
  using StepHook = Painter::StepHook;
  void SetStepHook(StepHook hook, void* context) { m_painter.SetStepHook(hook, context); }
  // On (the default), a pass reuses the surface, the drawn background and the overlays' text
  // objects of the pass before; off, each pass makes them anew (same pixels, more work).
  void EnablePaintCache(int enable);
  int IsPaintCache() const { return m_painter.IsCacheOn(); }
  void DrawBackImage(Gdiplus::Graphics* graphics, const CRect& client);
  // `drawn`, when given, receives the area each control drawn may have covered.
  void DrawControl(HDC dc, const CRect& clip, std::vector<CRect>* drawn = nullptr);
  // A 32-bit picture of the control's rect, tinted with `color`; the caller owns it.
  HBITMAP GenerateBitmap(MControl* control, CRect rect, Gdiplus::ARGB color);
  HBITMAP GetDropBitmap(MControl* control, CRect rect);
  int PreTranslateMessage(MSG* msg);
  LRESULT SendMessageW(UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT PostMessageW(UINT msg, WPARAM wparam, LPARAM lparam);

  // ---- input state ----
  void SetCapture();
  void ReleaseCapture();
  int IsCaptured() const { return m_input.IsCaptured(); }
  MControl* GetHoverControl() const { return m_input.hover(); }
  MControl* GetFocusControl() const { return m_input.focus(); }
  void SetFocusControl(MControl* control);
  MControl* GetNextFocusableControl();
  MControl* GetPrevFocusableControl();

  int OnMouseMove(UINT flags, CPoint point);
  int OnLButtonDown(UINT flags, CPoint point);
  int OnLButtonUp(UINT flags, CPoint point);
  int OnLButtonDblClk(UINT flags, CPoint point);
  int OnRButtonDown(UINT flags, CPoint point);
  int OnRButtonUp(UINT flags, CPoint point);
  int OnRButtonDblClk(UINT flags, CPoint point);
  int OnMouseLeave();
  int OnMouseWheel(UINT flags, short delta, CPoint screen_point);
  int OnKeyDown(UINT key, UINT repeat, UINT flags);
  int OnKeyUp(UINT key, UINT repeat, UINT flags);
  int OnNcActivate(BOOL active);
  int OnWindowPosChanged(WINDOWPOS* pos);
  // Message hooks of the interface that leave the work to the window's default handling.
  int OnCreate() { return 1; }
  int OnSize() { return 1; }
  int OnMouseHover() { return 1; }
  int OnNcHitTest() { return 1; }
  int OnNcCalcSize() { return 1; }
  int OnWindowPosChanging() { return 1; }
  int OnNcPaint() { return 1; }
  int OnDestroy() { return 1; }
  int PostNcDestroy();

  // ---- plain settings ----
  void EnableWndDrag(int enable) { m_input.EnableWindowDrag(enable); }
  void SetLayeredWindow(int layered) { m_window.SetLayered(layered); }
  int IsLayered() const { return m_window.IsLayered(); }
  void EnableDrawInfo(int enable) { m_bDrawInfo = enable; }
  // These three change what lies beneath the controls: their cached pictures are discarded.
  void SetBackColor(COLORREF back, COLORREF border);
  COLORREF GetBackColor() const { return m_crBack; }
  COLORREF GetBorderColor() const { return m_crBorder; }
  void SetBackMode(int mode, int corner = kDefaultFrameCorner);
  void SetCaptionRect(CRect rect) { m_rcCaption = rect; }
  CRect GetCaptionRect() const { return m_rcCaption; }
  void SetWindowMaxSize(int width, int height) { m_szMax = {width, height}; }
  void SetWindowMixSize(int width, int height) { m_szMin = {width, height}; }
  SIZE GetWindowManSize() const { return m_szMax; }
  SIZE GetWindowMinSize() const { return m_szMin; }
  CRect GetClientRect() const;
  CRect GetWindowRect() const;
  void GetClientSize(int& width, int& height) const;
  HDC GetPaintDC() const { return m_window.dc(); }
  HWND GetPaintWnd() const { return m_window.hwnd(); }
  HWND GetToolTipWnd() const { return m_window.hwnd(); }
  void SetScrollResID(UINT vertical, UINT horizontal) {
    m_uScrollV = vertical;
    m_uScrollH = horizontal;
  }
  UINT GetScrollVID() const { return m_uScrollV; }
  UINT GetScrollHID() const { return m_uScrollH; }
  void SetDefaultEnabledColor(COLORREF color) { m_crDefaultEnabled = color; }
  COLORREF GetDefaultEnabledColor() const { return m_crDefaultEnabled; }
  MWindow* GetMDialog() const { return m_pOwner; }
  int IsDrawInfo() const { return m_bDrawInfo; }
  int IsWndDrag() const { return m_input.IsWindowDrag(); }

  // ---- background image, image records, fonts ----
  int LoadBKImage(const wchar_t* name);  // see SetBackColor
  int LoadBKImage(UINT id, const wchar_t* type);
  Gdiplus::Image* GetBKImage() const { return m_pBKImage; }
  int GetBKImageWidth() const { return m_nBKWidth; }
  int GetBKImageHeight() const { return m_nBKHeight; }
  ImgResInfo* AddImgResInfo(const wchar_t* name, int frame_count);
  ImgResInfo* AddImgResInfo(UINT id, const wchar_t* type, int frame_count, int application);
  void ClearImgResInfo();
  size_t GetImgResInfoCount();
  void AddGDITempFont(UINT id);
  Gdiplus::FontFamily* AddTempFont(const wchar_t* name, const wchar_t* path);
  Gdiplus::FontFamily* AddTempFont(const wchar_t* name, UINT id);
  // The family of the library's current text font (Manager::GetFontName); `name` is not
  // consulted. Owned by the manager.
  Gdiplus::FontFamily* FindTempFont(const wchar_t* name);
  void ClearTempFont();
  size_t GetGDITempFontCount();

  // ---- control timers, the M timer, the message and progress overlay ----
  // (paint_manager_timers.cpp) Control timers share the window's WM_TIMER; their platform
  // ids count 17, 18, ... 239, 0, 1, ... per manager.
  using RKTimer::KillTimer;
  using RKTimer::SetTimer;
  // 1 when the control's timer `key` runs afterwards; 0 when it already ran or the platform
  // refused. A killed timer restarts with its old platform id.
  int SetTimer(MControl* control, UINT key, UINT period);
  // 1 when a running timer was stopped (its record stays for a restart), else 0.
  int KillTimer(MControl* control, UINT key);
  // Removes every timer of the control.
  void KillTimer(MControl* control);
  void ClearTimers();
  // WM_TIMER: the caret and overlay timers, else the controls whose timer has this id.
  void OnTimer(UINT id);
  // Starts the periodic M timer (multimedia timer thread) and stores its id.
  void SetMTimer(UINT period);
  void KillMTimer(UINT id);
  void KillMTimer();  // all of this manager's multimedia timers
  UINT GetMTimerID() const { return m_mtimerList.timer_id(); }
  // Appends the control to the list the M timer ticks; 1.
  int AddMTimer(MControl* control);
  // Removes the control's first entry from that list; 1 when it was there.
  int DeleteFSTimer(MControl* control);
  // Deletes a control that has just left its list (of this manager or of `former_parent`):
  // it is forgotten as hover, focus and timer control at once, and deleted when no tick runs
  // inside it or along its former parent's chain; otherwise when that tick returns.
  void DisposeControl(MControl* control, MControl* former_parent);

  // Status message: fully visible for 3 s, then fades out.
  void SetMessage(CString text, CRect rect, MsgLevel level);
  // Progress bar with text; an empty rect is the bottom 60 pixels of the client area.
  void SetProgress(int percent, CString text, CRect rect);
  CString GetMessageText() const { return m_overlay.text(); }
  CRect GetMessageRect() const { return m_overlay.rect(); }
  int GetMessageAlpha() const { return m_overlay.alpha(); }
  int GetProgressShown() const { return m_overlay.progress_shown(); }
  int GetProgressTarget() const { return m_overlay.progress_target(); }

  // ---- caret (paint_manager_timers.cpp) ----
  int CreateCaret(HBITMAP bitmap, int width, int height);
  // 0 when the platform caret cannot move; the owner's text colour draws the caret.
  int SetCaretPos(MControlFont* owner, int x, int y);
  int ShowCaret(int show);
  MControlFont* GetCurrentCaretObject() const { return m_caret.owner(); }
  CRect GetCaretRect() const { return m_caret.rect(); }
  int IsCaretLit() const { return m_caret.IsLit(); }
  // Called by the paint pass; stops the blinking while the owner or window lacks the focus.
  void DrawCaret(HDC dc, const CRect& clip);

  // ---- tooltip, bubble tip, drop shadow (paint_manager_tips.cpp) ----
  // Shows `text` in the window's tooltip (created on first use); the rect is not used.
  void SetTooltip(CString text, CRect rect);
  void ClearTooltip();
  void SetTooltipCtrlID(int id) { m_nTooltipCtrlID = id; }
  int GetTooltipCtrlID() const { return m_nTooltipCtrlID; }
  HWND GetToolTipWindow() const { return m_hToolTip; }
  // Creates the bubble on first use, then places it; 0 without a live window.
  int SetAirBladderMsg(const wchar_t* text, POINT point, AIRBLADDER_TYPE type,
                       AIRBLADDER_MODE mode);
  // Shows or hides the bubble; hiding with a mode only when it was shown with that mode.
  int ShowAirBladder(int show, int mode);
  MAirBladder* GetAirBladder() const { return m_pAirBladder; }
  // Registers the shadow class (option: again), stores the shown flag, creates the shadow.
  void CreateShadow(int show, bool option);
  // Shadow settings; out of range: 0 and nothing changes. A shown shadow is redrawn.
  int SetSize(int size);
  int SetSharpness(unsigned int sharpness);
  int SetDarkness(unsigned int darkness);
  int SetPosition(int x, int y);
  int SetShadowColor(unsigned long color);
  // The margins are taken when none is negative.
  int SetShadowImage(const wchar_t* name, CRect margins);
  int SetShadowImage(UINT resource_id, CRect margins);
  void SetShadowShow(int show) { m_shadow.ShowShadow(show); }
  void DisableShadow(int disable) { m_shadow.DisableShadow(disable); }
  MShadow& GetShadow() { return m_shadow; }

  // The module library resources come from (this DLL).
  static HINSTANCE GetLibraryInstance();

 private:
  using WalkScope = ControlTree::WalkScope;
  void DiscardControlCaches();
  int UseBKImage();  // after a (re)load of the background image
  void DestroyList(int kind);
  void ForgetControl(MControl* control);
  void DestroyPopups();
  // What the painter draws: the background, the controls and the caret, the overlays.
  Painter::Scene PaintScene();
  void PaintBackground(Gdiplus::Graphics* graphics, const CRect& client);
  void DrawOverlays(Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& client,
                    std::vector<CRect>& drawn);
  void DrawInfo(Gdiplus::Graphics* graphics, PaintCache& cache, const CRect& client);
  bool IsLive() const { return m_window.IsLive(); }

  MWindow* m_pOwner = nullptr;  // not owned: the dialog that owns this manager
  int m_bInit = 0;
  PaintWindow m_window;  // the window, its kept DC and the UI thread; first, the parts use it
  Caret m_caret{m_window};
  MessageOverlay m_overlay{m_window};
  COLORREF m_crBack = 0x050505;
  COLORREF m_crBorder = 0xFF30BD;
  CRect m_rcCaption;
  SIZE m_szMax{0, 0};
  SIZE m_szMin{0, 0};
  Gdiplus::Image* m_pBKImage = nullptr;  // owned
  int m_nBKWidth = 0;
  int m_nBKHeight = 0;

  MShadow m_shadow;  // owned: keeps the shadow settings and the shadow window

  int m_bDrawInfo = 0;
  int m_bInPosChanged = 0;
  UINT m_uScrollV = 0;
  UINT m_uScrollH = 0;
  COLORREF m_crDefaultEnabled = 0x808080;
  int m_nTooltipCtrlID = 0;
  HWND m_hToolTip = nullptr;             // owned: destroyed with the manager
  MAirBladder* m_pAirBladder = nullptr;  // owned
  int m_nAirBladderMode = 0;

  ControlTree m_tree{m_window};  // owns the controls
  InputRouter m_input{m_window, m_tree, [this] { ClearTooltip(); }};

  int m_nBackMode = BackModeStretch;
  int m_nCorner = kDefaultFrameCorner;

  ControlTimers m_timers{m_window};
  MTimerList m_mtimerList;  // shared with the multimedia timer thread

  Painter m_painter{m_window, PaintScene()};  // owns the paint cache
  // After the painter: the fonts its cache makes refer to these families.
  ResourceCache m_resources{m_window, [this] { m_painter.DiscardFonts(); }};
};

}  // namespace Zentu
