// MDialog: the base of every skinned window (message handlers, controls, skin, closing).
#pragma once

#include <windows.h>

#include <vector>

#include "ui/core/cstring.h"
#include "ui/core/geometry.h"
#include "ui/core/mobject.h"
#include "ui/core/mwindow.h"
#include "ui/core/shared_types.h"
#include "ui/core/zentu_api.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {

class MControl;

// The private "close with this result" request: wparam is the result ShowModal returns.
inline constexpr UINT kCloseRequestMessage = WM_USER + 66;  // 0x0442

// Result codes of the DoOK family, as ShowModal returns them.
enum : UINT {
  kDialogOK = 1,
  kDialogCancel = 2,
  kDialogYes = 6,
  kDialogNo = 7,
};

// A top-level window without caption or sizing frame. It owns its paint manager, which
// owns every control created on the dialog; the dialog itself is owned by the application.
// The dialog object outlives its window: deleting it destroys the paint manager but not
// the window (a heap dialog may delete itself in PostNcDestroy).
//
// The order of the virtual operations is part of the library's binary interface: the tray
// program derives from this class across the DLL boundary. Slots 0 to 7 are MWindow's;
// append, never reorder.
class ZENTU_API MDialog : public MWindow, public MObject {
 public:
  MDialog();
  MDialog(const MDialog&) = delete;
  MDialog& operator=(const MDialog&) = delete;
  ~MDialog() override;

  // ---- MWindow side, slots 4 to 7 ----
  LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
  int PreTranslateMessage(MSG* msg) override;
  int OnInitDialog() override;
  void OnDestroyMessage(HWND hwnd) override;

  // ---- MWindow side, slots 8 to 39 ----
  // Screen point under the control: its left (type 0), middle (1) or right (2) bottom edge.
  virtual POINT GetAirBladderPoint(MControl* control, unsigned type);
  virtual void OnMinimize();
  virtual void OnMaximize();
  virtual void InitUI(CRect client);  // subclasses create their controls here
  virtual void UISize(CRect client);  // subclasses lay out here (client wider, taller than 1)
  virtual long OnMessage(unsigned id, unsigned code, unsigned wparam, long lparam);
  virtual long OnUserCloseWindow(unsigned wparam, long lparam);
  virtual int OnCreate(CREATESTRUCTW* create);
  virtual int OnSize(unsigned type, int cx, int cy);
  virtual int OnMouseMove(unsigned flags, CPoint point);
  virtual int OnMouseLeave(unsigned wparam, long lparam);
  virtual int OnMouseHover(unsigned wparam, long lparam);
  virtual int OnMouseWheel(unsigned flags, short delta, CPoint point);
  virtual int OnLButtonDown(unsigned flags, CPoint point);
  virtual int OnLButtonUp(unsigned flags, CPoint point);
  virtual int OnLButtonDblClk(unsigned flags, CPoint point);
  virtual int OnRButtonDown(unsigned flags, CPoint point);
  virtual int OnRButtonUp(unsigned flags, CPoint point);
  virtual int OnRButtonDblClk(unsigned flags, CPoint point);
  virtual int OnKeyDown(unsigned key, unsigned repeat, unsigned flags);
  virtual int OnNcHitTest(CPoint point);
  virtual int OnGetMinMaxInfo(MINMAXINFO* info);
  virtual int OnNcCalcSize(int calc_valid_rects, NCCALCSIZE_PARAMS* params);
  virtual int OnNcActivate(int active);
  virtual int OnWindowPosChanging(WINDOWPOS* pos);
  virtual int OnWindowPosChanged(WINDOWPOS* pos);
  virtual int OnPaint();
  virtual void OnTimer(unsigned id);
  virtual int OnNcPaint();
  // The close message then reaches the default procedure, which destroys the window.
  virtual int OnClose();
  virtual int OnDestroy();
  // Runs once the window is gone; a dialog that lives on the heap may delete itself here.
  virtual int PostNcDestroy();

  // ---- MObject side ----
  const wchar_t* GetClassNameW() const override;  // "MDialog"
  long OnBaseMessage(unsigned id, unsigned code, unsigned wparam, long lparam) override;
  long OnControlUpdate(CRect rect, int flag, MControl* control) override;

  // ---- controls, by class name ("MButton", "MPicture", "MText", "CArea"); null when the
  // name is empty or unknown. Areas are drawn beneath every control. ----
  MControl* CreateControl(const wchar_t* class_name, unsigned id, CRect rect, const wchar_t* text,
                          int first, int second);
  MControl* CreateArea(const wchar_t* class_name, unsigned id, CRect rect, const wchar_t* text,
                       int first, int second);
  MControl* GetControl(unsigned id);
  std::vector<MControl*>& GetControls();
  void SetFocusControl(MControl* control);

  // ---- closing: each posts the close request with its result; nothing without a window ----
  void DoOK();
  void DoCancel();
  void DoClose();
  void DoYes();
  void DoNo();

  // ---- skin and drawing settings, forwarded to the paint manager ----
  // The name is taken inside the skin folder. 0 when it cannot be loaded: the dialog then
  // draws its background colours.
  int LoadBKImage(CString name);
  int LoadBKImage(unsigned resource_id, CString type);
  void SetBackMode(enumBackMode mode, int border = kDefaultFrameCorner);
  void SetLayeredWindow(int on);
  void EnableDrawInfo(int on);
  void EnableWndDrag(int on);
  void SetScrollResID(unsigned vertical, unsigned horizontal);
  void SetTooltipCtrlID(int id) { m_nTooltipCtrlID = id; }
  int GetTooltipCtrlID() const { return m_nTooltipCtrlID; }
  void SetTooltip(CString text, CRect rect);
  void ClearTooltip();
  // An empty (or all-zero) rect: 200 pixels wide, centred, from 60 to 2 pixels above the
  // bottom of the client area, moved down by the message shift.
  void SetMessage(CString text, CRect rect, MsgLevel level);
  void SetProgress(int percent, CString text, CRect rect);
  // Shows the bubble tip under `point` (screen coordinates); 0 when a coordinate is 0.
  int SetAirBladderMsg(const wchar_t* text, POINT point, AIRBLADDER_TYPE type);
  void SetMTimer(unsigned period);
  void KillMTimer(unsigned id);

  // ---- the drop shadow; out-of-range values give 0 and change nothing ----
  void CreateShadow(int show, bool flag);
  void SetShadowShow(int show);
  int SetSize(int size);
  int SetSharpness(unsigned sharpness);
  int SetDarkness(unsigned darkness);
  int SetPosition(int x, int y);
  int SetShadowColor(unsigned long color);
  int SetShadowImage(const wchar_t* name, CRect corners);
  int SetShadowImage(unsigned resource_id, CRect corners);
  // Applies the window alpha (alpha mode) or else the colour key (colour-key mode).
  void SetupBackTranslucent();

  PaintManager& GetPaintManager() { return m_PaintManager; }

 protected:
  void SetupRegion(int) {}

  PaintManager m_PaintManager;
  COLORREF m_crKey = 0xFFFFFF;  // transparent colour key; 0xFFFFFF means none
  UINT m_nAlpha = 255;          // constant opacity of the whole window; 255 means opaque
  int m_nMessageShift = 0;      // moves the default status message rectangle down
  int m_nTooltipCtrlID = 0;     // kept for the application; the library does not read it
  CRect m_rcClient;             // the client area as last measured

 private:
  class DispatchScope;
  void PostCloseRequest(UINT result);

  // Messages being handled (they nest when a handler sends one). PostNcDestroy waits until
  // the outermost one returns, so a dialog that deletes itself there is never deleted
  // while one of its handlers still runs.
  int m_nDispatchDepth = 0;
  int m_bPostNcDestroyDue = 0;
};

}  // namespace Zentu
