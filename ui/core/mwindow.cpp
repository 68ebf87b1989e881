// MWindow: one native top-level window bound to an object that handles its messages.
#include "ui/core/mwindow.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/core/manager.h"
#include "ui/core/window_math.h"

namespace Zentu {

namespace {

constexpr wchar_t kControlProp[] = L"Control";
constexpr wchar_t kDefaultTitle[] = L"MWindow";
constexpr DWORD kDefaultStyle = 0x80B;
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;  // 0x000B
const HWND kAllOnes = reinterpret_cast<HWND>(~static_cast<UINT_PTR>(0));

// The class procedure each superclass took over, by the superclass's name. A superclassed
// window that has no object (before WM_NCCREATE, or after its object went) still needs
// it: the default window procedure would not keep the class's own state.
class SuperclassProcs {
 public:
  static void Remember(const wchar_t* class_name, WNDPROC proc) {
    std::lock_guard<std::mutex> lock(Mutex());
    Table()[Key(class_name)] = proc;
  }
  static WNDPROC Of(HWND hwnd) {
    wchar_t name[256];
    if (!::GetClassNameW(hwnd, name, 256)) return ::DefWindowProcW;
    std::lock_guard<std::mutex> lock(Mutex());
    const auto found = Table().find(Key(name));
    return found != Table().end() ? found->second : ::DefWindowProcW;
  }

 private:
  // Class names are matched without regard to case.
  static std::wstring Key(const wchar_t* name) {
    std::wstring key(name);
    for (wchar_t& c : key) c = static_cast<wchar_t>(::towlower(c));
    return key;
  }
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::map<std::wstring, WNDPROC>& Table() {
    static std::map<std::wstring, WNDPROC> table;
    return table;
  }
};

// The handles the modal loops wait for besides their messages (PostWhenSignalled), by the
// thread whose loops wait for them.
class SignalWaits {
 public:
  static bool Add(HANDLE handle, HWND window, UINT message) {
    const DWORD thread = ::GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(mutex_);
    // The message queue takes one of MsgWaitForMultipleObjectsEx's slots.
    const auto mine = std::count_if(waits_.begin(), waits_.end(),
                                    [thread](const Wait& w) { return w.thread == thread; });
    if (mine >= MAXIMUM_WAIT_OBJECTS - 1) return false;
    waits_.push_back({thread, handle, window, message});
    return true;
  }
  static void Remove(HANDLE handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(waits_, [handle](const Wait& w) { return w.handle == handle; });
  }
  // The calling thread's handles.
  static std::vector<HANDLE> Mine() {
    const DWORD thread = ::GetCurrentThreadId();
    std::vector<HANDLE> handles;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Wait& w : waits_)
      if (w.thread == thread) handles.push_back(w.handle);
    return handles;
  }
  // Posts the message of a signalled handle and forgets the handle; a handle that cannot be
  // waited for (closed without StopWaitingFor) is forgotten too, so the loop cannot spin.
  static void Signalled(HANDLE handle) {
    std::optional<Wait> wait;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = std::find_if(waits_.begin(), waits_.end(),
                                      [handle](const Wait& w) { return w.handle == handle; });
      if (found == waits_.end()) return;
      wait = *found;
      waits_.erase(found);
    }
    ::PostMessageW(wait->window, wait->message, 0, 0);
  }
  static void ForgetBroken(const std::vector<HANDLE>& handles) {
    for (HANDLE h : handles)
      if (::WaitForSingleObject(h, 0) == WAIT_FAILED) Remove(h);
  }

 private:
  struct Wait {
    DWORD thread;
    HANDLE handle;  // not owned: the caller withdraws it before closing it
    HWND window;
    UINT message;
  };
  static inline std::mutex mutex_;
  static inline std::vector<Wait> waits_;  // guarded by mutex_
};

// GetMessageW for the modal loop that also waits for the thread's signal handles. Without
// any, it is GetMessageW itself.
BOOL NextMessage(MSG* msg) {
  for (;;) {
    const std::vector<HANDLE> handles = SignalWaits::Mine();
    if (handles.empty()) return ::GetMessageW(msg, nullptr, 0, 0);
    if (::PeekMessageW(msg, nullptr, 0, 0, PM_REMOVE)) return msg->message != WM_QUIT;
    const DWORD count = static_cast<DWORD>(handles.size());
    const DWORD woken = ::MsgWaitForMultipleObjectsEx(count, handles.data(), INFINITE, QS_ALLINPUT,
                                                      MWMO_INPUTAVAILABLE);
    if (woken < WAIT_OBJECT_0 + count) {
      SignalWaits::Signalled(handles[woken - WAIT_OBJECT_0]);
    } else if (woken == WAIT_FAILED) {
      SignalWaits::ForgetBroken(handles);
    }
  }
}

// Where the two window procedures keep the object of a window: the user-data slot, or the
// "Control" property of a superclassed window; and where messages go without an object.
struct UserDataSlot {
  static MWindow* Get(HWND hwnd) {
    return reinterpret_cast<MWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  static void Set(HWND hwnd, MWindow* window) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  static void Clear(HWND hwnd) { SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); }
  static WNDPROC Unbound(HWND) { return ::DefWindowProcW; }
};

struct ControlProperty {
  static MWindow* Get(HWND hwnd) { return static_cast<MWindow*>(GetPropW(hwnd, kControlProp)); }
  static void Set(HWND hwnd, MWindow* window) { SetPropW(hwnd, kControlProp, window); }
  // Removed rather than set to null: a property left on a window is never freed.
  static void Clear(HWND hwnd) { RemovePropW(hwnd, kControlProp); }
  static WNDPROC Unbound(HWND hwnd) { return SuperclassProcs::Of(hwnd); }
};

// The window a Create call of this thread is making. Creation can fail after WM_NCCREATE
// (WM_CREATE answering -1): the window is destroyed inside CreateWindowEx, and an object
// that deletes itself at that final destroy must not be touched by Create afterwards.
struct Creation {
  const MWindow* window;
  bool destroyed;
  Creation* outer;  // a window created while another one is being created
};
thread_local Creation* t_creation = nullptr;

}  // namespace

// Shared body of WndProc and ControlProc; `Slot` says where the object is kept.
class WindowBinding {
 public:
  template <class Slot>
  static LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    MWindow* window = nullptr;
    if (msg == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      window = create ? static_cast<MWindow*>(create->lpCreateParams) : nullptr;
      if (window) {
        Fields(window).m_hWnd = hwnd;
        Slot::Set(hwnd, window);
      }
    } else {
      // Messages before WM_NCCREATE (WM_GETMINMAXINFO first) find no object here.
      window = Slot::Get(hwnd);
    }
    if (!window) return CallWindowProcW(Slot::Unbound(hwnd), hwnd, msg, wparam, lparam);
    // No exception may unwind through the system's frames.
    try {
      if (msg == WM_NCDESTROY) {
        const LRESULT result =
            CallWindowProcW(Fields(window).m_OldWndProc, hwnd, msg, wparam, lparam);
        Slot::Clear(hwnd);
        Fields(window).m_hWnd = nullptr;
        for (Creation* c = t_creation; c; c = c->outer)
          if (c->window == window) c->destroyed = true;
        window->OnDestroyMessage(hwnd);
        return result;
      }
      return window->OnWindowMessage(msg, wparam, lparam);
    } catch (...) {
      return 0;
    }
  }

 private:
  static MWindow& Fields(MWindow* window) { return *window; }
};

MWindow::~MWindow() { Unbind(); }

void MWindow::Unbind() {
  if (!m_hWnd || !::IsWindow(m_hWnd)) return;
  if (UserDataSlot::Get(m_hWnd) == this) UserDataSlot::Clear(m_hWnd);
  if (ControlProperty::Get(m_hWnd) == this) ControlProperty::Clear(m_hWnd);
}

const wchar_t* MWindow::GetWindowClassName() const { return L"MWindow"; }
const wchar_t* MWindow::GetSuperClassName() const { return nullptr; }

int MWindow::ShowWindow(int cmd) { return HasHandle() ? ::ShowWindow(m_hWnd, cmd) : 0; }

LRESULT MWindow::OnWindowMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  return ::CallWindowProcW(m_OldWndProc, m_hWnd, msg, wparam, lparam);
}

int MWindow::PreTranslateMessage(MSG*) { return 0; }
int MWindow::OnInitDialog() { return 1; }
void MWindow::OnDestroyMessage(HWND) {}

bool MWindow::HasHandle() const { return m_hWnd && m_hWnd != kAllOnes; }
bool MWindow::IsAlive() const { return m_hWnd && ::IsWindow(m_hWnd); }

HWND MWindow::Create(HWND parent, const wchar_t* title, DWORD style, DWORD ex_style, CRect rect,
                     HMENU menu) {
  if (HasHandle() && ::IsWindow(m_hWnd)) return m_hWnd;
  m_hParent = parent;
  const int registered = GetSuperClassName() ? RegisterSuperClass() : RegisterWindowClass();
  if (!registered) return nullptr;
  Creation creation{this, false, t_creation};
  t_creation = &creation;
  const HWND hwnd =
      ::CreateWindowExW(ex_style, GetWindowClassName(), title, style, rect.left, rect.top,
                        rect.Width(), rect.Height(), parent, menu, Manager::m_hInstance, this);
  t_creation = creation.outer;
  // Made and destroyed again inside CreateWindowEx: the object may be gone already.
  if (creation.destroyed) return nullptr;
  m_hWnd = hwnd;
  OnInitDialog();
  return hwnd;
}

HWND MWindow::Create(HWND parent, const wchar_t* title, DWORD style, DWORD ex_style, CRect rect) {
  return Create(parent, title, style, ex_style, rect, nullptr);
}

HWND MWindow::Create(HWND parent, CRect rect) {
  return Create(parent, kDefaultTitle, kDefaultStyle, 0, rect, nullptr);
}

HWND MWindow::Create(HWND parent) { return Create(parent, CRect(0, 0, 800, 600)); }

int MWindow::RegisterWindowClass() {
  WNDCLASSW wc = {};
  wc.style = kClassStyle;
  wc.lpfnWndProc = &MWindow::WndProc;
  wc.hInstance = Manager::m_hInstance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = GetWindowClassName();
  if (::RegisterClassW(&wc)) return 1;
  return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? 1 : 0;
}

int MWindow::RegisterSuperClass() {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  const wchar_t* super = GetSuperClassName();
  if (!::GetClassInfoExW(nullptr, super, &wc) &&
      !::GetClassInfoExW(Manager::m_hInstance, super, &wc)) {
    return 0;
  }
  m_OldWndProc = wc.lpfnWndProc;
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &MWindow::ControlProc;
  wc.hInstance = Manager::m_hInstance;
  wc.lpszClassName = GetWindowClassName();
  if (!::RegisterClassExW(&wc)) {
    // Registered by an earlier Create: the procedure it took over is known already.
    return ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? 1 : 0;
  }
  SuperclassProcs::Remember(wc.lpszClassName, m_OldWndProc);
  return 1;
}

LRESULT CALLBACK MWindow::WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  return WindowBinding::Dispatch<UserDataSlot>(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK MWindow::ControlProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  return WindowBinding::Dispatch<ControlProperty>(hwnd, msg, wparam, lparam);
}

UINT MWindow::ShowModal(int cmd) {
  if (!IsAlive()) return 0xFFFFFFFF;
  // Kept in locals: a heap dialog may delete itself when its window is destroyed, so the
  // object is not touched once its window is gone.
  const HWND hwnd = m_hWnd;
  const HWND owner = ::GetWindow(hwnd, GW_OWNER);
  ::ShowWindow(hwnd, cmd);
  if (owner) ::EnableWindow(owner, FALSE);
  auto release_owner = [owner] {
    if (!owner) return;
    ::EnableWindow(owner, TRUE);
    ::SetFocus(owner);
  };

  UINT result = 0;
  bool quit = false;
  MSG msg = {};
  while (::IsWindow(hwnd)) {
    const BOOL got = NextMessage(&msg);
    if (got == 0) {
      quit = true;
      break;
    }
    if (got == -1) break;  // an invalid argument: nothing more will arrive
    if (msg.message == WM_CLOSE && msg.hwnd == hwnd) {
      // Re-enabled before the window goes, so the system can hand the activation to it.
      result = static_cast<UINT>(msg.wParam);
      release_owner();
    }
    if (!PreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  release_owner();
  if (quit) ::PostQuitMessage(static_cast<int>(msg.wParam));
  return result;
}

bool MWindow::PostWhenSignalled(HANDLE handle, HWND window, UINT message) {
  return SignalWaits::Add(handle, window, message);
}

void MWindow::StopWaitingFor(HANDLE handle) { SignalWaits::Remove(handle); }

void MWindow::CenterWindow(MWindow* over) {
  if (!IsAlive()) return;
  const bool child = (GetStyle() & WS_CHILD) != 0;
  HWND parent = child ? ::GetParent(m_hWnd) : nullptr;
  HWND centre = over && over->IsAlive() ? over->m_hWnd
                : child                 ? parent
                                        : ::GetWindow(m_hWnd, GW_OWNER);
  CRect bounds, centre_rect;
  if (child && parent) {
    ::GetClientRect(parent, &bounds);
    if (centre) {
      ::GetClientRect(centre, &centre_rect);
      ::MapWindowPoints(centre, parent, reinterpret_cast<POINT*>(&centre_rect), 2);
    } else {
      centre_rect = bounds;
    }
  } else {
    if (centre && (!::IsWindowVisible(centre) || ::IsIconic(centre))) centre = nullptr;
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(centre ? centre : m_hWnd, MONITOR_DEFAULTTONEAREST),
                      &info);
    bounds = info.rcWork;
    if (centre) {
      ::GetWindowRect(centre, &centre_rect);
    } else {
      centre_rect = bounds;
    }
  }
  CRect own;
  ::GetWindowRect(m_hWnd, &own);
  const CPoint origin = CenteredOrigin(centre_rect, bounds, own.Width(), own.Height());
  ::SetWindowPos(m_hWnd, nullptr, origin.x, origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MWindow::BringToTop() {
  if (!IsAlive()) return;
  const HWND foreground = ::GetForegroundWindow();
  const DWORD foreground_thread = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
  const DWORD own_thread = ::GetCurrentThreadId();
  if (foreground_thread && foreground_thread != own_thread) {
    // The foreground lock lets only the foreground thread's input queue move the
    // foreground; sharing its input for a moment lifts that.
    ::AttachThreadInput(own_thread, foreground_thread, TRUE);
    ::AllowSetForegroundWindow(ASFW_ANY);
    ::SetForegroundWindow(m_hWnd);
    ::AttachThreadInput(own_thread, foreground_thread, FALSE);
  } else {
    ::SetForegroundWindow(m_hWnd);
  }
  ::ShowWindow(m_hWnd, ::IsIconic(m_hWnd) ? SW_RESTORE : SW_SHOW);
}

void MWindow::SetIcon(UINT icon_id) {
  if (!IsAlive()) return;
  const auto load = [icon_id](int cx, int cy) {
    return ::LoadImageW(Manager::m_hInstance, MAKEINTRESOURCEW(icon_id), IMAGE_ICON, cx, cy,
                        LR_DEFAULTCOLOR);
  };
  ::SendMessageW(
      m_hWnd, WM_SETICON, ICON_BIG,
      reinterpret_cast<LPARAM>(load(::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON))));
  ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(
                     load(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON))));
}

DWORD MWindow::GetStyle() const {
  return HasHandle() ? static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)) : 0;
}

DWORD MWindow::GetExStyle() const {
  return HasHandle() ? static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)) : 0;
}

int MWindow::ModifyLong(int index, DWORD remove, DWORD add, UINT swp_flags) {
  if (!HasHandle()) return 0;
  const DWORD old_value = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, index));
  const DWORD new_value = (old_value & ~remove) | add;
  if (new_value == old_value) return 0;
  ::SetWindowLongPtrW(m_hWnd, index, static_cast<LONG_PTR>(new_value));
  if (swp_flags != 0) {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swp_flags);
  }
  return 1;
}

int MWindow::ModifyStyle(DWORD remove, DWORD add, UINT swp_flags) {
  return ModifyLong(GWL_STYLE, remove, add, swp_flags);
}

int MWindow::ModifyExStyle(DWORD remove, DWORD add, UINT swp_flags) {
  return ModifyLong(GWL_EXSTYLE, remove, add, swp_flags);
}

LRESULT MWindow::SendMessageW(UINT msg, WPARAM wparam, LPARAM lparam) {
  return HasHandle() ? ::SendMessageW(m_hWnd, msg, wparam, lparam) : 0;
}

BOOL MWindow::PostMessageW(UINT msg, WPARAM wparam, LPARAM lparam) {
  return HasHandle() ? ::PostMessageW(m_hWnd, msg, wparam, lparam) : 0;
}

BOOL MWindow::GetClientRect(RECT* rect) const {
  return IsAlive() ? ::GetClientRect(m_hWnd, rect) : 0;
}

BOOL MWindow::GetWindowRect(RECT* rect) const {
  return IsAlive() ? ::GetWindowRect(m_hWnd, rect) : 0;
}

BOOL MWindow::ClientToScreen(POINT* point) const {
  return IsAlive() ? ::ClientToScreen(m_hWnd, point) : 0;
}

BOOL MWindow::ClientToScreen(RECT* rect) const {
  if (!IsAlive() || !rect) return 0;
  auto* corners = reinterpret_cast<POINT*>(rect);
  if (!::ClientToScreen(m_hWnd, &corners[0])) return 0;
  return ::ClientToScreen(m_hWnd, &corners[1]);
}

BOOL MWindow::ScreenToClient(POINT* point) const {
  return IsAlive() ? ::ScreenToClient(m_hWnd, point) : 0;
}

BOOL MWindow::ScreenToClient(RECT* rect) const {
  if (!IsAlive() || !rect) return 0;
  auto* corners = reinterpret_cast<POINT*>(rect);
  if (!::ScreenToClient(m_hWnd, &corners[0])) return 0;
  return ::ScreenToClient(m_hWnd, &corners[1]);
}

BOOL MWindow::EnableWindow(BOOL enable) { return IsAlive() ? ::EnableWindow(m_hWnd, enable) : 0; }

BOOL MWindow::IsWindowEnabled() const { return IsAlive() ? ::IsWindowEnabled(m_hWnd) : 0; }
BOOL MWindow::IsWindowVisible() const { return IsAlive() ? ::IsWindowVisible(m_hWnd) : 0; }
BOOL MWindow::IsIconic() const { return IsAlive() ? ::IsIconic(m_hWnd) : 0; }
BOOL MWindow::ReleaseCapture() { return IsAlive() ? ::ReleaseCapture() : 0; }
BOOL MWindow::KillTimer(UINT_PTR id) { return IsAlive() ? ::KillTimer(m_hWnd, id) : 0; }

BOOL MWindow::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  return IsAlive() ? ::MoveWindow(m_hWnd, x, y, width, height, repaint) : 0;
}

BOOL MWindow::MoveWindow(const RECT* rect, BOOL repaint) {
  if (!rect) return 0;
  const CRect r(*rect);
  return MoveWindow(r.left, r.top, r.Width(), r.Height(), repaint);
}

BOOL MWindow::SetWindowPos(HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
  return IsAlive() ? ::SetWindowPos(m_hWnd, insert_after, x, y, cx, cy, flags) : 0;
}

BOOL MWindow::DestroyWindow() { return IsAlive() ? ::DestroyWindow(m_hWnd) : 0; }
HWND MWindow::SetCapture() { return IsAlive() ? ::SetCapture(m_hWnd) : nullptr; }
HWND MWindow::SetFocus() { return IsAlive() ? ::SetFocus(m_hWnd) : nullptr; }

UINT_PTR MWindow::SetTimer(UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
  return IsAlive() ? ::SetTimer(m_hWnd, id, elapse_ms, proc) : 0;
}

int MWindow::GetWindowTextLengthW() const {
  return IsAlive() ? ::GetWindowTextLengthW(m_hWnd) : -1;
}

void MWindow::SetWindowTextW(const wchar_t* text) {
  if (IsAlive()) ::SetWindowTextW(m_hWnd, text);
}

void MWindow::GetWindowTextW(CString& text) const {
  if (!IsAlive()) return;
  const int length = ::GetWindowTextLengthW(m_hWnd);
  if (length <= 0) {
    text.Empty();
    return;
  }
  wchar_t* buffer = text.GetBuffer(length);
  if (!buffer) return;
  const int copied = ::GetWindowTextW(m_hWnd, buffer, length + 1);
  text.ReleaseBuffer(copied > 0 ? copied : 0);
}

void MWindow::InvalidateRect(CRect rect, int erase) {
  if (IsAlive()) ::InvalidateRect(m_hWnd, &rect, erase);
}

void MWindow::Invalidate(int erase) {
  if (IsAlive()) ::InvalidateRect(m_hWnd, nullptr, erase);
}

}  // namespace Zentu
