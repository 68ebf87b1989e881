// PaintManager: set-up and teardown, the control lists, the factory and repaint requests.
#include "ui/paint/paint_manager.h"

#include <algorithm>

#include "ui/controls/mcontrol.h"
#include "ui/core/manager.h"
#include "ui/core/mwindow.h"
#include "ui/paint/control_factory.h"
#include "ui/paint/paint_math.h"

namespace Zentu {

PaintManager::PaintManager() = default;

PaintManager::~PaintManager() {
  // First of all: a tick still running on the timer thread must not see a manager in pieces.
  KillMTimer();
  DestroyPopups();
  DestroyData();
  // Lists filled without Init (the manager never saw a window) are still owned here.
  ClearAllControls();
  ClearImgResInfo();
  ClearTempFont();
  if (m_pBKImage) delete m_pBKImage;
  m_pBKImage = nullptr;
  // Only when the owner deleted its dialog from inside a handler is anything left here.
  m_tree.DeleteDeferred();
}

HINSTANCE PaintManager::GetLibraryInstance() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&PaintManager::GetLibraryInstance), &module);
  return module;
}

void PaintManager::Init(HWND window, MWindow* owner) {
  if (window == nullptr || !::IsWindow(window)) return;
  m_window.Attach(window);
  m_pOwner = owner;
  InitDragDrop(window);
  m_bInit = 1;
  m_uScrollV = kScrollImageVertical;
  m_uScrollH = kScrollImageHorizontal;
  AddGDITempFont(kEmbeddedFontId);
}

void PaintManager::DestroyData() {
  if (!m_bInit) return;
  m_painter.DropCache();
  if (m_pBKImage) delete m_pBKImage;
  m_pBKImage = nullptr;
  m_nBKWidth = m_nBKHeight = 0;
  m_window.ReleaseDc();
  KillMTimer();
  ClearTimers();
  m_mtimerList.Clear();
  m_input.ForgetAll();
  ClearAllControls();
  ClearImgResInfo();
  ClearTempFont();
  // OLE keeps a reference to the drop target until it is revoked; the window is still
  // alive at WM_NCDESTROY, so this is the last moment to do it.
  RevokeDragDrop();
  m_bInit = 0;
  m_window.Detach();
}

int PaintManager::PostNcDestroy() {
  DestroyData();
  return 1;
}

// ---- controls ----

MControl* PaintManager::CreateControl(int kind, MObject* parent, const wchar_t* class_name, UINT id,
                                      CRect rect, const wchar_t* text, int first, int second) {
  CString name;
  // Below 0x10000 the "name" is the id of one of the library's string resources.
  if (reinterpret_cast<ULONG_PTR>(class_name) < 0x10000) {
    if (class_name != nullptr) {
      wchar_t buffer[128] = {};
      const int length =
          ::LoadStringW(GetLibraryInstance(),
                        static_cast<UINT>(reinterpret_cast<ULONG_PTR>(class_name)), buffer, 128);
      if (length > 0) name = CString(buffer, length);
    }
  } else {
    name = class_name;
  }
  ControlCreator create = FindControlCreator(name.GetString());
  if (create == nullptr) return nullptr;
  MControl* control = create(parent, id, rect, text, first, second);
  if (control == nullptr) return nullptr;
  control->SetManager(this);  // also runs InitControl(this)
  m_tree.Append(kind, control);
  return control;
}

MControl* PaintManager::CreateControl(MObject* parent, const wchar_t* class_name, UINT id,
                                      CRect rect, const wchar_t* text, int first, int second) {
  return CreateControl(1, parent, class_name, id, rect, text, first, second);
}

MControl* PaintManager::CreateArea(MObject* parent, const wchar_t* class_name, UINT id, CRect rect,
                                   const wchar_t* text, int first, int second) {
  return CreateControl(0, parent, class_name, id, rect, text, first, second);
}

MControl* PaintManager::GetControl(UINT id) { return m_tree.Find(id); }

void PaintManager::ForgetControl(MControl* control) {
  m_input.Forget(*control);
  m_caret.Forget(*control);
  m_timers.Forget(*control);
  m_mtimerList.Forget(*control);
}

void PaintManager::RemoveControl(MControl* control) {
  if (control == nullptr || !m_tree.Remove(control)) return;
  DisposeControl(control, nullptr);
}

void PaintManager::DestroyList(int kind) {
  for (MControl* control : m_tree.Take(kind)) DisposeControl(control, nullptr);
}

void PaintManager::ClearControls() { DestroyList(ControlTree::kControls); }

void PaintManager::ClearAreaControls() { DestroyList(ControlTree::kAreas); }

void PaintManager::ClearAllControls() {
  ClearAreaControls();
  ClearControls();
}

long PaintManager::OnControlUpdate(CRect rect, int flag, MControl* control) {
  if (control == nullptr) return 0;
  if (flag) control->SetUpdate(0, m_crBack);
  const CRect dirty = m_bInit ? m_tree.DiscardAbove(control, rect, m_crBack) : rect;
  m_window.InvalidateRect(&dirty, FALSE);
  return 1;
}

void PaintManager::SetBackColor(COLORREF back, COLORREF border) {
  m_crBack = back;
  m_crBorder = border;
  m_painter.DiscardBackground();
  DiscardControlCaches();
}

void PaintManager::SetBackMode(int mode, int corner) {
  m_nBackMode = mode;
  m_nCorner = corner;
  m_painter.DiscardBackground();
  DiscardControlCaches();
}

void PaintManager::DiscardControlCaches() { m_tree.DiscardAll(m_crBack); }

void PaintManager::Invalidate() { m_window.Invalidate(); }

void PaintManager::InvalidateRect(const RECT* rect, int erase) {
  m_window.InvalidateRect(rect, erase);
}

// ---- window ----

CRect PaintManager::GetClientRect() const { return m_window.ClientRect(); }

CRect PaintManager::GetWindowRect() const { return m_window.WindowRect(); }

void PaintManager::GetClientSize(int& width, int& height) const {
  const CRect client = GetClientRect();
  width = client.Width();
  height = client.Height();
}

LRESULT PaintManager::SendMessageW(UINT msg, WPARAM wparam, LPARAM lparam) {
  return m_window.Send(msg, wparam, lparam);
}

// Sends, as it always has: callers rely on the message having been handled on return.
LRESULT PaintManager::PostMessageW(UINT msg, WPARAM wparam, LPARAM lparam) {
  return m_window.Send(msg, wparam, lparam);
}

void PaintManager::SetCapture() { m_input.SetCapture(); }

void PaintManager::ReleaseCapture() { m_input.ReleaseCapture(); }

}  // namespace Zentu
