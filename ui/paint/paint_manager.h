// PaintManager: a window's controls, its off-screen paint pass, input routing and resources.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include <map>
#include <vector>

#include "ui/core/cstring.h"
#include "ui/core/geometry.h"
#include "ui/core/shared_types.h"
#include "ui/core/zentu_api.h"
#include "ui/paint/drop_target.h"

namespace Zentu {

class MObject;
class MWindow;
class MControl;
class MAirBladder;
class MRichEdit;

// Severity of a status message shown by the message overlay.
enum MsgLevel : int {
  MsgLevelTrace = 0,
  MsgLevelDebug = 1,
  MsgLevelInfo = 2,
  MsgLevelWarn = 3,
  MsgLevelError = 4,
  MsgLevelFatal = 5,
};

// One decoded image shared by every control of a manager that asks for it.
struct ZENTU_API ImgResInfo {
  Gdiplus::Image* image = nullptr;  // owned
  int frame_width = 0;              // image width / frame count
  int frame_height = 0;
  int frame_count = 1;   // the count of the first request
  CString name;          // file name, for records made from files
  UINT resource_id = 0;  // for records made from resources
};

// Resource ids of the library's embedded images and font.
inline constexpr UINT kScrollImageHorizontal = 101;
inline constexpr UINT kScrollImageVertical = 102;
inline constexpr UINT kEmbeddedFontId = 106;

// Owned by value by its dialog; owns every control created through it and the images and
// fonts it hands out. All members run on the window's thread except where noted; the lists
// are locked because the M timer ticks controls on the multimedia timer thread.
class ZENTU_API PaintManager : public CIDropTarget {
 public:
  PaintManager();
  PaintManager(const PaintManager&) = delete;
  PaintManager& operator=(const PaintManager&) = delete;
  ~PaintManager() override;

  // Called on the multimedia timer thread for this manager's M timer.
  virtual void OnMTimer(UINT id);
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
  // Deletes a control that is listed nowhere any more: at once, or when the walk of the
  // lists that is running ends, so no control is deleted while one of its handlers runs.
  void DeleteControl(MControl* control);
  void ClearControls();
  void ClearAreaControls();
  void ClearAllControls();
  std::vector<MControl*>& GetControls() { return m_controls; }
  std::vector<MControl*>& GetAreaControls() { return m_areas; }
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
  using SurfaceHook = void (*)(void* context, const BYTE* bits, int width, int height);
  void SetSurfaceHook(SurfaceHook hook, void* context) {
    m_surfaceHook = hook;
    m_surfaceHookContext = context;
  }
  void DrawBackImage(Gdiplus::Graphics* graphics, const CRect& client);
  void DrawControl(HDC dc, const CRect& clip);
  // A 32-bit picture of the control's rect, tinted with `color`; the caller owns it.
  HBITMAP GenerateBitmap(MControl* control, CRect rect, Gdiplus::ARGB color);
  HBITMAP GetDropBitmap(MControl* control, CRect rect);
  int PreTranslateMessage(MSG* msg);
  LRESULT SendMessageW(UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT PostMessageW(UINT msg, WPARAM wparam, LPARAM lparam);

  // ---- input state ----
  void SetCapture();
  void ReleaseCapture();
  int IsCaptured() const { return m_bCaptured; }
  MControl* GetHoverControl() const { return m_pHoverControl; }
  MControl* GetFocusControl() const { return m_pFocusControl; }
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
  void EnableWndDrag(int enable) { m_bWndDrag = enable; }
  void SetLayeredWindow(int layered) { m_bLayered = layered; }
  int IsLayered() const { return m_bLayered; }
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
  HDC GetPaintDC() const { return m_hPaintDC; }
  HWND GetPaintWnd() const { return m_hWnd; }
  HWND GetToolTipWnd() const { return m_hWnd; }
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
  int IsWndDrag() const { return m_bWndDrag; }

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

  // ---- timers, tooltip, caret ----
  // WM_TIMER: ticks the controls whose window timer has this platform id.
  void OnTimer(UINT id);
  // Appends the control to the list the M timer ticks; 1.
  int AddMTimer(MControl* control);
  // Removes the control's first entry from that list; 1 when it was there.
  int DeleteFSTimer(MControl* control);
  // Shows `text` in the window's tooltip (created on first use); the rect is not used.
  void SetTooltip(CString text, CRect rect);
  void ClearTooltip();
  void SetTooltipCtrlID(int id) { m_nTooltipCtrlID = id; }
  int GetTooltipCtrlID() const { return m_nTooltipCtrlID; }
  HWND GetToolTipWindow() const { return m_hToolTip; }
  // Draws the caret of the rich-edit owner; called by the paint pass.
  void DrawCaret(HDC dc, const CRect& clip);

  // The module library resources come from (this DLL).
  static HINSTANCE GetLibraryInstance();

 private:
  // Counts the walks of the control lists in progress (they nest when a handler sends a
  // message); the outermost one deletes the controls removed meanwhile.
  class WalkScope {
   public:
    explicit WalkScope(PaintManager& manager) : manager_(manager) { ++manager_.m_nWalkDepth; }
    ~WalkScope();
    WalkScope(const WalkScope&) = delete;
    WalkScope& operator=(const WalkScope&) = delete;

   private:
    PaintManager& manager_;
  };
  // The list as it was when a walk began, for walks that call handlers: a handler may
  // change the list. Each entry is visited only while IsListed still finds it.
  static std::vector<MControl*> Snapshot(std::vector<MControl*>& list, CRITICAL_SECTION& lock);
  static bool IsListed(const std::vector<MControl*>& list, const MControl* control);
  void DiscardControlCaches();
  int UseBKImage();  // after a (re)load of the background image
  void AppendControl(int kind, MControl* control);
  void DestroyList(std::vector<MControl*>& list, CRITICAL_SECTION& lock);
  MControl* FindFocusable(bool forward);
  void ForgetControl(MControl* control);
  void TrackMouse();
  void DeliverToHover(int (MControl::*event)(unsigned, CPoint), UINT flags, CPoint point);
  Gdiplus::FontFamily* KeepTempFont(const wchar_t* name, Gdiplus::PrivateFontCollection* collection,
                                    Gdiplus::Status added);
  void StartControlDrag();
  void PaintBackground(Gdiplus::Graphics* graphics, const CRect& client);
  void DrawInfo(Gdiplus::Graphics* graphics, const CRect& client);
  void DrawMessage(Gdiplus::Graphics* graphics);
  void Present(HDC mem_dc, HDC window_dc, HDC paint_dc, const CRect& client, const CRect& update);
  ImgResInfo* AddImgResInfo(std::map<UINT, ImgResInfo*>& table, UINT id, const wchar_t* type,
                            int frame_count, HINSTANCE module);
  bool IsLive() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }

  MWindow* m_pOwner = nullptr;  // not owned: the dialog that owns this manager
  int m_bInit = 0;
  HWND m_hWnd = nullptr;     // not owned
  HDC m_hPaintDC = nullptr;  // owned: GetDC of m_hWnd, released at teardown
  HDC m_hSpareDC = nullptr;  // owned: deleted at teardown
  COLORREF m_crBack = 0x050505;
  COLORREF m_crBorder = 0xFF30BD;
  CRect m_rcCaption;
  SIZE m_szMax{0, 0};
  SIZE m_szMin{0, 0};
  POINT m_ptDragStart{0, 0};
  int m_bDragArmed = 0;
  HBITMAP m_hDragBitmap = nullptr;  // owned
  int m_bLayered = 0;
  Gdiplus::Image* m_pBKImage = nullptr;  // owned
  int m_nBKWidth = 0;
  int m_nBKHeight = 0;

  // Shadow settings, handed to the drop-shadow window.
  HWND m_hShadowWnd = nullptr;  // not owned: destroyed with its owner window
  int m_nShadowFlags = 0;
  int m_nShadowDarkness = 0;
  int m_nShadowSharpness = 0;
  int m_nShadowSize = 0;
  int m_nShadowX = 0;
  int m_nShadowY = 0;
  COLORREF m_crShadow = 0;
  CRect m_rcShadowMargin;
  int m_bShadowShown = 0;

  // Message and progress overlay.
  CString m_strMessage;
  MsgLevel m_nMsgLevel = MsgLevelTrace;
  int m_nMsgAlpha = 0;
  int m_nProgressShown = 0;
  int m_nProgressTarget = 0;
  CRect m_rcMessage;

  int m_bDrawInfo = 0;
  UINT m_uMTimerID = 0;
  UINT m_uControlTimerCounter = 4096;
  int m_bMouseTracking = 0;
  int m_bPressed = 0;
  int m_bCaptured = 0;
  int m_bWndDrag = 1;
  int m_bActive = 0;
  int m_bInPosChanged = 0;
  UINT m_uScrollV = 0;
  UINT m_uScrollH = 0;
  COLORREF m_crDefaultEnabled = 0x808080;
  MControl* m_pHoverControl = nullptr;  // not owned: a member of m_controls or null
  MControl* m_pFocusControl = nullptr;  // not owned: a member of m_controls or null
  int m_nTooltipCtrlID = 0;
  HWND m_hToolTip = nullptr;             // owned: destroyed with the manager
  MAirBladder* m_pAirBladder = nullptr;  // owned
  int m_nAirBladderMode = 0;

  std::vector<MControl*> m_areas;     // owned controls, painted first
  std::vector<MControl*> m_controls;  // owned controls, painted after the areas; get input
  std::vector<MControl*> m_mtimers;   // not owned: members of the lists above
  CRITICAL_SECTION m_areaLock;
  CRITICAL_SECTION m_controlLock;
  CRITICAL_SECTION m_mtimerLock;

  int m_nBackMode = BackModeStretch;
  int m_nCorner = kDefaultFrameCorner;

  CRect m_rcCaret;
  int m_bCaretLit = 0;
  int m_bCaretShown = 0;
  MRichEdit* m_pCaretOwner = nullptr;  // not owned

  std::map<CString, ImgResInfo*> m_imgByName;  // owned records
  std::map<UINT, ImgResInfo*> m_imgByAppId;    // owned records
  std::map<UINT, ImgResInfo*> m_imgByLibId;    // owned records
  CRITICAL_SECTION m_imgLock;

  struct ControlTimer {
    HWND window;
    UINT key;
    UINT platform_id;
    int killed;
    MControl* control;  // not owned
  };
  std::vector<ControlTimer> m_controlTimers;
  CRITICAL_SECTION m_controlTimerLock;

  std::map<CString, Gdiplus::FontFamily*> m_tempFonts;             // owned families
  std::vector<Gdiplus::PrivateFontCollection*> m_fontCollections;  // owned: back AddTempFont
  std::vector<HANDLE> m_gdiFonts;  // owned: AddFontMemResourceEx handles
  CRITICAL_SECTION m_fontLock;

  SurfaceHook m_surfaceHook = nullptr;
  void* m_surfaceHookContext = nullptr;  // not owned

  int m_nWalkDepth = 0;
  std::vector<MControl*> m_doomed;  // owned: removed during a walk, deleted when it ends
};

}  // namespace Zentu
