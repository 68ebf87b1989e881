// MControl, MControlFont and CArea: the windowless control base of the library.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "ui/core/cstring.h"
#include "ui/core/geometry.h"
#include "ui/core/mobject.h"
#include "ui/core/shared_types.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

class PaintManager;
struct ImgResInfo;

// Events a control reports to its parent through SendMessageW / OnBaseMessage.
enum : unsigned {
  kControlEventDblClk = 3,  // double click inside the rect; lparam points at the CPoint
  kControlEventKey = 14,    // a key was handled or passed through; wparam key, lparam flags
};

// The order of the virtual operations is part of the library's binary interface (slots 0 to
// 6 are MObject's, then 7 InitControl ... 37 InvalidateRect). Append, never reorder.
class ZENTU_API MControl : public MObject {
 public:
  MControl(MObject* parent, unsigned id, CRect rect, int visible, int enabled, int response);
  MControl(const MControl&) = delete;
  MControl& operator=(const MControl&) = delete;
  ~MControl() override;

  const wchar_t* GetClassNameW() const override;
  // A child's repaint request: discards the child and the later siblings over it, then
  // asks this control's own parent for the (grown) rectangle.
  long OnControlUpdate(CRect rect, int flag, MControl* control) override;

  // --- virtual operations, slots 7 to 37 ---
  virtual void InitControl(PaintManager* manager);
  virtual int OnScroll(int delta, unsigned flags, CPoint point);
  virtual int PtInRect(CPoint point);
  virtual void DrawControl(HDC& dc, CRect clip) = 0;
  virtual int DrawSubControls(HDC& dc, CRect clip);
  virtual int IsDraw(CPoint point);
  virtual void SetUpdate(int up_to_date, unsigned long background);
  virtual int SetControlFocus(int focus);
  virtual void InitUI(CRect rect);
  virtual int OnMousePointChange(CPoint& point);
  virtual int OnCheckMouseResponse(unsigned flags, CPoint point);
  virtual long OnWindowMessage(unsigned message, unsigned wparam, long lparam);
  virtual long OnMessage(unsigned id, unsigned code, unsigned wparam, long lparam);
  virtual void SetControlRect(CRect rect);
  virtual void SetControlVisible(int visible);
  virtual void SetControlWndVisible(int visible);
  virtual void SetControlEnabled(int enabled);
  virtual int OnControlTimer();
  virtual HBITMAP GetControlDropBitmap();
  virtual int OnControlMouseMove(unsigned flags, CPoint point);
  virtual int OnControlSetCursor(unsigned flags, CPoint point);
  virtual int OnControlLButtonDown(unsigned flags, CPoint point);
  virtual int OnControlLButtonUp(unsigned flags, CPoint point);
  virtual int OnControlLButtonDblClk(unsigned flags, CPoint point);
  virtual int OnControlScroll(int delta, unsigned flags, CPoint point);
  virtual int OnControlRButtonDown(unsigned flags, CPoint point);
  virtual int OnControlRButtonUp(unsigned flags, CPoint point);
  virtual int OnControlRButtonDblClk(unsigned flags, CPoint point);
  virtual int OnControlKeyDown(unsigned key, unsigned repeat, unsigned flags);
  virtual void OnPositionChange();
  virtual void InvalidateRect(const RECT* rect, int erase);

  // --- identity and plain state ---
  MObject* GetParantObject() const { return m_pParent; }
  void SetParent(MObject* parent) { m_pParent = parent; }
  PaintManager* GetManager() const { return m_pManager; }
  void SetManager(PaintManager* manager);
  unsigned GetControlID() const { return m_uID; }
  CRect GetRect() const { return m_rect; }
  int IsVisible() const { return m_bVisible; }
  int IsEnabled() const { return m_bEnabled; }
  int IsDragDrop() const { return m_bDragDrop; }
  void SetDragDrop(int drag_drop) { m_bDragDrop = drag_drop; }
  int GetRresponse() const { return m_bResponse; }
  void SetRresponse(int response) { m_bResponse = response; }
  int IsTabStop() const { return m_bTabStop; }
  void SetTabStop(int tab_stop) { m_bTabStop = tab_stop; }
  int GetDblClk() const { return m_bDblClk; }
  void SetDblClk(int dbl_clk) { m_bDblClk = dbl_clk; }
  int IsKeyDown() const { return m_bKeyDown; }
  int IsFocused() const { return m_bFocused; }
  // A key equal to both reports as handled by OnControlKeyDown; key 0 means none.
  void SetHotKey(unsigned key, unsigned flags) { m_uHotKey = key, m_uHotKeyFlags = flags; }
  int GetUpdate() const { return m_bUpdate; }
  int IsAnimating() const { return m_bAnimating; }
  int IsRunTimer() const { return m_bRunTimer; }
  void SetRunTimer(int run) { m_bRunTimer = run; }
  int UseImageECM() const { return m_bImageECM; }
  void SetTrackLeave(int track) { m_bTrackLeave = track; }
  int IsOutside() const { return m_bOutside; }
  void SetNotifyDblClk(int notify) { m_bNotifyDblClk = notify; }
  void SetNotifyKeys(int notify) { m_bNotifyKeys = notify; }
  MControl* GetMouseChild() const { return m_pMouseChild; }
  HBITMAP GetDropBitmap() { return GetControlDropBitmap(); }
  MControl* GetFocusControl() const { return nullptr; }

  // --- state setters with their repaint requests ---
  void SetVisible(int visible);
  void SetVisible(int visible, int repaint);
  void SetEnabled(int enabled);
  void SetRect(CRect rect);
  void SetRect(int x, int y, int width, int height);

  // --- repaint requests and notifications to the parent ---
  void UpdateControl(int flag, int force);
  void UpdateControl(CRect rect, int force, int flag);
  void UpdateAControl(int animate, int force);
  long SendMessageW(unsigned code, unsigned wparam, long lparam);

  // --- children ---
  // Both lists own their controls. Add* take ownership and set the child's parent and
  // manager (InitControl runs when the manager is set).
  void AddControl(MControl* control);
  void AddUnderControl(MControl* control);
  const std::vector<MControl*>& GetControls() const { return m_children; }
  const std::vector<MControl*>& GetUnderControls() const { return m_underLayers; }
  MControl* GetControl(unsigned id);
  // True when `control` is this control or lies anywhere in its lists (at any depth).
  bool Contains(const MControl* control) const;
  int RemoveControl(MControl* control);
  void RemoveAllControl();

  // --- input routing (not virtual: each calls the handler of the control that takes it) ---
  int OnMouseMove(unsigned flags, CPoint point);
  int OnLButtonDown(unsigned flags, CPoint point);
  int OnLButtonUp(unsigned flags, CPoint point);
  int OnLButtonDblClk(unsigned flags, CPoint point);
  int OnRButtonDown(unsigned flags, CPoint point);
  int OnRButtonUp(unsigned flags, CPoint point);
  int OnRButtonDblClk(unsigned flags, CPoint point);
  int OnKeyDown(unsigned key, unsigned repeat, unsigned flags);
  int OnKeyUp(unsigned key, unsigned repeat, unsigned flags);
  int OnTimer();
  int OnFocus(int focus);
  int IsFocusControl() const;

  // --- timers, tooltips, cursor ---
  int AddMTimer();
  void SetTooltip(CString text, CRect rect);
  void ClearTooltip();
  void SetTooltip(const wchar_t* text);
  CString GetTooltip() const { return m_strTooltip; }
  void SetTooltipCtrlID(unsigned) {}
  unsigned GetTooltipCtrlID() const { return 0; }
  int SetCursorEx(const wchar_t* name);
  HCURSOR GetCursor() const { return m_hCursor; }

  // --- drawing ---
  void Draw(HDC& dc, CRect clip);
  // Marks the cache up to date; rebuilds it (compatible with dc) only when the size changes.
  void UpdateMemDC(HDC& dc, int width, int height);
  // Always rebuilds the animation image at that size and sets the animating flag.
  void UpdateAnimateDC(HDC& dc, int width, int height);
  // Drawing through the cached picture: while it is up to date null (only EndCachedDraw
  // is due); otherwise it is made at the control's size, filled with what lies beneath the
  // control on `dc`, and returned to be drawn on (null when it cannot be made).
  HDC BeginCachedDraw(HDC& dc);
  // Copies the cached picture to the control's place on `dc`.
  void EndCachedDraw(HDC& dc);
  HDC GetMemDC() const { return m_mem.dc; }
  HDC GetAnimateDC() const { return m_anim.dc; }

  // The coordinate `item` names between low and high (clamped to the 32-bit range).
  static int PositionItem2Value(const FS_POSITION_ITEM& item, int low, int high);

 protected:
  // One cached picture: a bitmap selected into its own memory DC. Released by its owner.
  struct CachedImage {
    int width = 0, height = 0;
    HBITMAP bitmap = nullptr;    // owned
    HDC dc = nullptr;            // owned
    HGDIOBJ previous = nullptr;  // the DC's original bitmap, put back before either goes
    void Release();
    bool Rebuild(HDC compatible_with, int width, int height);
  };

  // Routing pieces shared by the left and right buttons.
  int RouteButtonDown(bool left, unsigned flags, CPoint point);
  int RouteButtonUp(bool left, unsigned flags, CPoint point);
  int RouteDblClk(bool left, unsigned flags, CPoint point);
  // The point a child gets: the scroll bars (ids 1, 2) see it untranslated.
  static CPoint PointForChild(const MControl* child, CPoint outer, CPoint inner);
  bool TakesMouse() const { return m_bVisible && m_bResponse; }
  void BecomeManagerFocus();
  // Deletes the list's controls; `dispose`: through the manager, which forgets their timers
  // and deletes each once no tick or walk of the lists runs inside it any more.
  void DeleteList(std::vector<MControl*>& list, CRITICAL_SECTION& lock, bool dispose = false);
  bool IsChild(const MControl* control) const;

  MObject* m_pParent;                  // not owned: the dialog or the containing control
  PaintManager* m_pManager = nullptr;  // not owned: the manager owns the control (or its root)
  unsigned m_uID;
  CRect m_rect;
  int m_bVisible;
  int m_bEnabled;
  int m_bDragDrop = 0;
  int m_bResponse;
  int m_bTabStop = 0;
  int m_nReserved1 = 0;
  int m_bDblClk = 0;
  int m_bPressedInside = 0;
  int m_bKeyDown = 0;
  int m_nReserved2 = 0;
  int m_bFocused = 0;
  unsigned m_uHotKey = 0;
  unsigned m_uHotKeyFlags = 0;
  int m_bUpdate = 0;
  int m_bAnimating = 0;
  int m_bRunTimer = 0;
  int m_bTimerSwitch = 0;  // some subclasses' enable switch for their own timer
  int m_bImageECM = 0;
  std::vector<MControl*> m_underLayers;  // owned: drawn before the control itself
  std::vector<MControl*> m_children;     // owned: drawn after the control
  CRITICAL_SECTION m_underLock;
  CRITICAL_SECTION m_childLock;
  MControl* m_pMouseChild = nullptr;  // not owned: a member of m_children or null
  CachedImage m_mem;                  // the control's cached picture
  CachedImage m_anim;                 // second picture of animated controls
  CString m_strTooltip;
  int m_nReserved3 = 0;
  HCURSOR m_hCursor = nullptr;  // not owned: a shared system cursor
  int m_bTrackLeave = 0;
  int m_nReserved4[2] = {0, 0};
  int m_bNotifyDblClk = 0;
  int m_bNotifyKeys = 0;
  int m_bOutside = 1;
};

// Shared state of the text and image controls: title, font, text colour, alignment, image.
class ZENTU_API MControlFont : public MControl {
 public:
  MControlFont(MObject* parent, unsigned id, CRect rect, const wchar_t* title, int visible,
               int enabled, int response);
  ~MControlFont() override;

  // --- virtual operations after slot 37 ---
  virtual void SetTextFont(CString name);
  virtual void SetTextColor(Gdiplus::Color color);
  virtual int SetImage(unsigned resource_id, CString type, int count);
  virtual int SetImage(const wchar_t* name, int count);

 protected:
  virtual void SetControlTitle(const wchar_t* title);
  virtual CString GetControlTitle();

 public:
  void SetTitle(const wchar_t* title);
  CString GetTitle() { return GetControlTitle(); }
  void SetAlignment(unsigned h);
  void SetVAlignment(unsigned v);
  void SetAlignment(unsigned h, unsigned v);
  void GetAlignment(unsigned& h, unsigned& v) const { h = m_uAlign, v = m_uVAlign; }
  void SetFont(const wchar_t* name, int size, Gdiplus::FontStyle style);
  CString GetFontName() const { return m_strFontName; }
  int GetFontWidth() const { return m_nFontSize; }
  void SetFontWidth(int size);
  int GetFontStyle() const { return m_nFontStyle; }
  void SetFontStyle(int style);
  Gdiplus::Color GetTextColor() const { return Gdiplus::Color(m_textColor); }
  Gdiplus::Brush* GetTextBrush() const { return m_pTextBrush.get(); }
  void SetTextRenderingHint(int hint) { m_nTextRenderingHint = hint; }
  int GetTextRenderingHint() const { return m_nTextRenderingHint; }
  CString GetImagePath() const { return m_strImagePath; }
  Gdiplus::Image* GetImage() const { return m_pImage; }
  void GetImageSize(unsigned& width, unsigned& height) const {
    width = m_uImageWidth, height = m_uImageHeight;
  }
  int GetImageCount() const { return m_nImageCount; }
  void SetImageCount(int count) { m_nImageCount = count; }
  // The family `name` among the manager's private fonts (a copy kept by the control), or null.
  Gdiplus::FontFamily* GetFontFamily(const wchar_t* name);
  // Cached; built from the default GUI font with Manager::GetFontName() as face name.
  HFONT GetGDIFont();
  void ClearGDIFont();

 protected:
  // A GDI+ font of the text font family at the font size times the display scale (whole
  // pixels) in the control's style; null when the family cannot be found.
  std::unique_ptr<Gdiplus::Font> MakeTextFont();

  CString m_strTitle;
  CString m_strFontName;
  CString m_strImagePath;
  int m_nFontSize;
  Gdiplus::ARGB m_textColor = 0xFFFFFFFF;
  std::unique_ptr<Gdiplus::SolidBrush> m_pTextBrush;   // owned
  int m_nFontStyle = 0;                                // Gdiplus::FontStyle bits
  std::unique_ptr<Gdiplus::FontFamily> m_pFontFamily;  // owned: clone of the manager's
  unsigned m_uAlign = 0;
  unsigned m_uVAlign = 4;
  int m_nTextRenderingHint = 5;
  HFONT m_gdiFont = nullptr;           // owned: the GetGDIFont cache
  Gdiplus::Image* m_pImage = nullptr;  // not owned: the manager's image record holds it
  unsigned m_uImageWidth = 0;          // frame width of the record
  unsigned m_uImageHeight = 0;
  int m_nImageCount = 4;

 private:
  int UseImageRecord(const ImgResInfo* record);
};

// A filled rectangle, optionally framed or faded by a transition; created as "CArea".
class ZENTU_API CArea : public MControl {
 public:
  CArea(MObject* parent, unsigned id, CRect rect, int visible, int enabled);

  const wchar_t* GetClassNameW() const override;
  void DrawControl(HDC& dc, CRect clip) override;

  // start, end: transparencies of the transition (0 both: a plain fill); colour 0x00BBGGRR.
  void SetTransparent(int start, int end, unsigned long color);
  void SetFrame(int on, Gdiplus::Color color, int unused);
  void SetDirection(int vertical) { m_nDirection = vertical; }

 protected:
  // Fades a layer filled with `fill` onto the cache from the start to the end transparency.
  void DrawTransition(HDC cache, const CRect& whole, Gdiplus::Brush& fill);

  int m_nDirection = 1;  // 1 vertical, 0 horizontal
  int m_nStartAlpha = 80;
  int m_nEndAlpha = 80;
  unsigned long m_fillColor = 0xFFFFFF;
  int m_bFrame = 0;
  Gdiplus::ARGB m_frameColor = 0xFE050505;
};

}  // namespace Zentu
