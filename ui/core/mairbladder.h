// MAirBladder: the bubble tip, a self-sizing layered pop-up with white text next to a point.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

#include "ui/core/cstring.h"
#include "ui/core/geometry.h"
#include "ui/core/mwindow.h"
#include "ui/core/shared_types.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

// Created and owned by a paint manager, as a window owned by the manager's window. Hides
// itself after a while (any type but 4) and when it loses the focus (any mode but 5).
// UI thread only. The order of the virtual operations is part of the library's binary
// interface: append, never reorder.
class ZENTU_API MAirBladder : public MWindow {
 public:
  // Window timer that hides the bubble.
  static constexpr UINT_PTR kHideTimer = 10;
  static constexpr UINT kHideDelay = 5000;

  MAirBladder();
  MAirBladder(const MAirBladder&) = delete;
  MAirBladder& operator=(const MAirBladder&) = delete;
  ~MAirBladder() override;

  LRESULT OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
  int PreTranslateMessage(MSG* msg) override;
  // Loads the library's embedded font family for the text.
  int OnInitDialog() override;

  virtual LRESULT OnUserCloseWindow(WPARAM wparam, LPARAM lparam);
  virtual void CloseWindow();
  virtual int OnCreate(LPCREATESTRUCTW create);
  virtual int OnSize(UINT type, int cx, int cy);
  virtual int OnMouseMove(UINT flags, CPoint point);
  virtual int OnMouseLeave(UINT flags, LPARAM lparam);
  virtual int OnMouseHover(UINT flags, LPARAM lparam);
  virtual int OnMouseWheel(UINT flags, short delta, CPoint point);
  virtual int OnLButtonDown(UINT flags, CPoint point);
  virtual int OnLButtonUp(UINT flags, CPoint point);
  virtual int OnLButtonDblClk(UINT flags, CPoint point);
  virtual int OnRButtonDown(UINT flags, CPoint point);
  virtual int OnRButtonUp(UINT flags, CPoint point);
  virtual int OnRButtonDblClk(UINT flags, CPoint point);
  virtual int OnKeyDown(UINT key, UINT repeat, UINT flags);
  virtual int OnNcHitTest(CPoint point);
  virtual int OnGetMinMaxInfo(MINMAXINFO* info);
  virtual int OnNcCalcSize(int calc, NCCALCSIZE_PARAMS* params);
  virtual int OnNcActivate(int active);
  virtual int OnSetFocus(HWND previous);
  virtual int OnKillFocus(HWND next);
  virtual int OnWindowPosChanging(WINDOWPOS* pos);
  virtual int OnWindowPosChanged(WINDOWPOS* pos);
  virtual int OnPaint();
  virtual void OnTimer(UINT id);
  virtual int OnNcPaint();
  virtual int OnClose();
  virtual int PostNcDestroy();
  virtual int OnDestroy();

  // Skin images from the skin folder, or from a resource of the application module. Each
  // replaces the previous one; 1 when loaded, else 0 and nothing is kept.
  int LoadBKImage(CString name);
  int LoadBKImage(UINT id, CString type);
  int LoadArrowLImage(CString name);
  int LoadArrowLImage(UINT id, CString type);
  int LoadArrowRImage(CString name);
  int LoadArrowRImage(UINT id, CString type);
  int LoadArrowTImage(CString name);
  int LoadArrowTImage(UINT id, CString type);
  // Stored only; the drawing does not consult them.
  void SetBackMode(enumBackMode mode, int value) {
    m_nBackMode = mode;
    m_nBackValue = value;
  }

  // Places and sizes the bubble for `text` (line feeds separate lines) against the screen
  // point and paints it. The same four values again change nothing. A null text is refused
  // with 0; otherwise 1.
  int SetAirBladderMsg(const wchar_t* text, POINT point, AIRBLADDER_TYPE type,
                       AIRBLADDER_MODE mode);
  // How long a bubble of any type but 4 stays before hiding itself.
  void SetHideDelay(UINT ms) { m_uHideDelay = ms; }

  CString GetText() const { return m_strText; }
  int GetLineCount() const { return m_nLineCount; }
  AIRBLADDER_MODE GetMode() const { return m_Mode; }
  const Gdiplus::StringFormat& GetStringFormat() const { return m_Format; }
  Gdiplus::FontFamily* GetFontFamily() const { return m_pFontFamily.get(); }
  Gdiplus::Image* GetBKImage() const { return m_bk.image; }

 private:
  // One loaded skin image with its size.
  struct SkinImage {
    Gdiplus::Image* image = nullptr;  // owned
    UINT width = 0;
    UINT height = 0;
    int Replace(Gdiplus::Image* loaded);
    int Load(const CString& name);  // from the skin folder
    int Load(UINT id, const CString& type);
  };
  void FitToText();
  void DrawContent(Gdiplus::Graphics& graphics, int width, int height);

  CString m_strText;
  POINT m_point{0, 0};
  AIRBLADDER_TYPE m_Type = AirBladderTypeTimed;
  AIRBLADDER_MODE m_Mode = AirBladderModeBelow;
  std::unique_ptr<Gdiplus::PrivateFontCollection> m_pFonts;  // owned: keeps the family usable
  std::unique_ptr<Gdiplus::FontFamily> m_pFontFamily;        // owned
  Gdiplus::StringFormat m_Format;
  Gdiplus::Status m_LastStatus = Gdiplus::Ok;
  SkinImage m_bk;
  SkinImage m_arrowLeft;
  SkinImage m_arrowRight;
  SkinImage m_arrowTop;
  int m_nBackMode = BackModeFrame;
  int m_nBackValue = 18;
  int m_nLineCount = 1;
  int m_nLineHeight = 0;           // measured by the fitting step, used by the paint
  UINT m_uHideDelay = kHideDelay;  // ms
};

}  // namespace Zentu
