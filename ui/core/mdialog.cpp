// MDialog: the base of every skinned window (message handlers, controls, skin, closing).
#include "ui/core/mdialog.h"

#include "ui/controls/mcontrol.h"
#include "ui/core/mairbladder.h"
#include "ui/core/window_message_table.h"

namespace Zentu {
namespace {

// The caption and sizing-frame bits go; clip siblings and children and the low bit 0x8
// come in.
constexpr DWORD kDialogStyleKeep = 0xFF3BFFFF;
constexpr DWORD kDialogStyleAdd = 0x06000008;

}  // namespace

class MDialog::DispatchScope {
 public:
  explicit DispatchScope(MDialog& dialog) : dialog_(dialog) { ++dialog_.m_nDispatchDepth; }
  // The last thing a dispatch does: PostNcDestroy may delete the dialog.
  ~DispatchScope() {
    if (--dialog_.m_nDispatchDepth > 0 || !dialog_.m_bPostNcDestroyDue) return;
    dialog_.m_bPostNcDestroyDue = 0;
    dialog_.PostNcDestroy();
  }
  DispatchScope(const DispatchScope&) = delete;
  DispatchScope& operator=(const DispatchScope&) = delete;

 private:
  MDialog& dialog_;
};

MDialog::MDialog() = default;
MDialog::~MDialog() = default;

// ---- the dispatcher ----

LRESULT MDialog::OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  DispatchScope scope(*this);
  // The window can be destroyed by a handler below; the rest of the message still goes to
  // the procedure of the window it was sent to.
  const HWND hwnd = m_hWnd;
  if (LRESULT answer = 0; DispatchWindowMessage(*this, msg, wparam, lparam, &answer)) {
    return answer;
  }
  if (const LRESULT result = m_PaintManager.OnWindowMessage(msg, wparam, lparam)) return result;
  return ::CallWindowProcW(m_OldWndProc, hwnd, msg, wparam, lparam);
}

int MDialog::PreTranslateMessage(MSG* msg) { return m_PaintManager.PreTranslateMessage(msg); }

int MDialog::OnInitDialog() {
  m_PaintManager.Init(m_hWnd, this);
  if (IsAlive()) MWindow::GetClientRect(&m_rcClient);
  InitUI(m_rcClient);
  return 1;
}

void MDialog::OnDestroyMessage(HWND hwnd) {
  if (hwnd == m_PaintManager.GetPaintWnd()) m_PaintManager.DestroyData();
  if (m_nDispatchDepth > 0)
    m_bPostNcDestroyDue = 1;  // called by the outermost dispatch when it returns
  else
    PostNcDestroy();
}

// ---- slots 8 to 39 ----

POINT MDialog::GetAirBladderPoint(MControl* control, unsigned type) {
  POINT point{0, 0};
  if (control == nullptr) return point;
  const CRect rect = control->GetRect();
  point.y = rect.bottom;
  switch (type) {
    case 1:
      point.x = rect.left + rect.Width() / 2;
      break;
    case 2:
      point.x = rect.right;
      break;
    default:
      point.x = rect.left;
      break;
  }
  MWindow::ClientToScreen(&point);
  return point;
}

void MDialog::OnMinimize() { ShowWindow(SW_MINIMIZE); }

void MDialog::OnMaximize() {
  ShowWindow(IsAlive() && ::IsZoomed(m_hWnd) ? SW_RESTORE : SW_MAXIMIZE);
}

void MDialog::InitUI(CRect) {}
void MDialog::UISize(CRect) {}
long MDialog::OnMessage(unsigned, unsigned, unsigned, long) { return 0; }

long MDialog::OnUserCloseWindow(unsigned wparam, long lparam) {
  PostMessageW(WM_CLOSE, wparam, lparam);
  return 1;
}

int MDialog::OnCreate(CREATESTRUCTW*) {
  const DWORD style = GetStyle();
  ::SetWindowLongW(m_hWnd, GWL_STYLE,
                   static_cast<LONG>((style & kDialogStyleKeep) | kDialogStyleAdd));
  return 1;
}

int MDialog::OnSize(unsigned, int, int) {
  if (!(IsAlive() && ::IsIconic(m_hWnd))) SetupBackTranslucent();
  CRect client;
  if (IsAlive()) MWindow::GetClientRect(&client);
  m_rcClient = client;
  if (client.Width() > 1 && client.Height() > 1) UISize(client);
  MWindow::InvalidateRect(client, FALSE);
  return 0;
}

int MDialog::OnMouseMove(unsigned, CPoint) { return 0; }
int MDialog::OnMouseLeave(unsigned, long) { return 0; }
int MDialog::OnMouseHover(unsigned, long) { return 0; }
int MDialog::OnMouseWheel(unsigned, short, CPoint) { return 0; }
int MDialog::OnLButtonDown(unsigned, CPoint) { return 0; }
int MDialog::OnLButtonUp(unsigned, CPoint) { return 0; }
int MDialog::OnLButtonDblClk(unsigned, CPoint) { return 0; }
int MDialog::OnRButtonDown(unsigned, CPoint) { return 0; }
int MDialog::OnRButtonUp(unsigned, CPoint) { return 0; }
int MDialog::OnRButtonDblClk(unsigned, CPoint) { return 0; }
int MDialog::OnKeyDown(unsigned, unsigned, unsigned) { return 0; }
int MDialog::OnNcHitTest(CPoint) { return 0; }
int MDialog::OnGetMinMaxInfo(MINMAXINFO*) { return 0; }
int MDialog::OnNcCalcSize(int, NCCALCSIZE_PARAMS*) { return 0; }
int MDialog::OnNcActivate(int) { return 0; }
int MDialog::OnWindowPosChanging(WINDOWPOS*) { return 1; }
int MDialog::OnWindowPosChanged(WINDOWPOS*) { return 1; }
int MDialog::OnPaint() { return 0; }
void MDialog::OnTimer(unsigned) {}
int MDialog::OnNcPaint() { return 0; }
int MDialog::OnClose() { return 1; }
int MDialog::OnDestroy() { return 0; }
int MDialog::PostNcDestroy() { return 0; }

// ---- MObject side ----

const wchar_t* MDialog::GetClassNameW() const { return L"MDialog"; }

long MDialog::OnBaseMessage(unsigned id, unsigned code, unsigned wparam, long lparam) {
  return OnMessage(id, code, wparam, lparam);
}

long MDialog::OnControlUpdate(CRect rect, int flag, MControl* control) {
  return m_PaintManager.OnControlUpdate(rect, flag, control);
}

// ---- controls ----

MControl* MDialog::CreateControl(const wchar_t* class_name, unsigned id, CRect rect,
                                 const wchar_t* text, int first, int second) {
  return m_PaintManager.CreateControl(1, static_cast<MObject*>(this), class_name, id, rect, text,
                                      first, second);
}

MControl* MDialog::CreateArea(const wchar_t* class_name, unsigned id, CRect rect,
                              const wchar_t* text, int first, int second) {
  return m_PaintManager.CreateControl(0, static_cast<MObject*>(this), class_name, id, rect, text,
                                      first, second);
}

MControl* MDialog::GetControl(unsigned id) { return m_PaintManager.GetControl(id); }
std::vector<MControl*>& MDialog::GetControls() { return m_PaintManager.GetControls(); }
void MDialog::SetFocusControl(MControl* control) { m_PaintManager.SetFocusControl(control); }

// ---- closing ----

void MDialog::PostCloseRequest(UINT result) {
  if (HasHandle()) PostMessageW(kCloseRequestMessage, result, 0);
}

void MDialog::DoOK() { PostCloseRequest(kDialogOK); }
void MDialog::DoCancel() { PostCloseRequest(kDialogCancel); }
void MDialog::DoClose() { PostCloseRequest(kDialogCancel); }
void MDialog::DoYes() { PostCloseRequest(kDialogYes); }
void MDialog::DoNo() { PostCloseRequest(kDialogNo); }

// ---- skin and drawing ----

int MDialog::LoadBKImage(CString name) { return m_PaintManager.LoadBKImage(name); }

int MDialog::LoadBKImage(unsigned resource_id, CString type) {
  return m_PaintManager.LoadBKImage(resource_id, type);
}

void MDialog::SetBackMode(enumBackMode mode, int border) {
  m_PaintManager.SetBackMode(mode, border);
}

void MDialog::SetLayeredWindow(int on) { m_PaintManager.SetLayeredWindow(on); }
void MDialog::EnableDrawInfo(int on) { m_PaintManager.EnableDrawInfo(on); }
void MDialog::EnableWndDrag(int on) { m_PaintManager.EnableWndDrag(on); }

void MDialog::SetScrollResID(unsigned vertical, unsigned horizontal) {
  m_PaintManager.SetScrollResID(vertical, horizontal);
}

void MDialog::SetTooltip(CString text, CRect rect) { m_PaintManager.SetTooltip(text, rect); }
void MDialog::ClearTooltip() { m_PaintManager.ClearTooltip(); }

void MDialog::SetMessage(CString text, CRect rect, MsgLevel level) {
  if (rect.IsRectEmpty()) {
    CRect client;
    if (IsAlive()) MWindow::GetClientRect(&client);
    const int centre = client.Width() / 2;
    rect = CRect(centre - 100, client.bottom - 60, centre + 100, client.bottom - 2);
    rect.OffsetRect(0, m_nMessageShift);
  }
  m_PaintManager.SetMessage(text, rect, level);
}

void MDialog::SetProgress(int percent, CString text, CRect rect) {
  m_PaintManager.SetProgress(percent, text, rect);
}

int MDialog::SetAirBladderMsg(const wchar_t* text, POINT point, AIRBLADDER_TYPE type) {
  if (point.x == 0 || point.y == 0) return 0;
  m_PaintManager.SetAirBladderMsg(text, point, type, AirBladderModeBelow);
  if (MAirBladder* bubble = m_PaintManager.GetAirBladder()) bubble->ShowWindow(SW_SHOW);
  return 1;
}

void MDialog::SetMTimer(unsigned period) { m_PaintManager.SetMTimer(period); }
void MDialog::KillMTimer(unsigned id) { m_PaintManager.KillMTimer(id); }

void MDialog::CreateShadow(int show, bool flag) { m_PaintManager.CreateShadow(show, flag); }
void MDialog::SetShadowShow(int show) { m_PaintManager.SetShadowShow(show); }
int MDialog::SetSize(int size) { return m_PaintManager.SetSize(size); }
int MDialog::SetSharpness(unsigned sharpness) { return m_PaintManager.SetSharpness(sharpness); }
int MDialog::SetDarkness(unsigned darkness) { return m_PaintManager.SetDarkness(darkness); }
int MDialog::SetPosition(int x, int y) { return m_PaintManager.SetPosition(x, y); }
int MDialog::SetShadowColor(unsigned long color) { return m_PaintManager.SetShadowColor(color); }

int MDialog::SetShadowImage(const wchar_t* name, CRect corners) {
  return m_PaintManager.SetShadowImage(name, corners);
}

int MDialog::SetShadowImage(unsigned resource_id, CRect corners) {
  return m_PaintManager.SetShadowImage(resource_id, corners);
}

void MDialog::SetupBackTranslucent() {
  if (!IsAlive()) return;
  if (m_nAlpha != 255) {
    ModifyExStyle(0, WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(m_hWnd, 0, static_cast<BYTE>(m_nAlpha), LWA_ALPHA);
  } else if (m_crKey != 0xFFFFFF) {
    ModifyExStyle(0, WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(m_hWnd, m_crKey, 255, LWA_COLORKEY);
  }
}

}  // namespace Zentu
