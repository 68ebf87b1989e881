// The tray icon, its menu and the shell set-up of the main window.
#include "app/shell/tray_icon.h"

#include <imm.h>

#include <cwchar>

#include "app/shell/placement.h"
#include "app/shell/shell_constants.h"
#include "app/system/settings.h"
#include "ui/core/manager.h"
#include "ui/paint/mrender.h"

namespace calorix {

// The full record of Vista and later: the shell reads every member up to the balloon icon.
static_assert(sizeof(NOTIFYICONDATAW) == 956);

TrayIcon::TrayIcon() { record_.cbSize = sizeof(record_); }

TrayIcon::~TrayIcon() { Remove(); }

bool TrayIcon::Add(HWND window, const std::wstring& icon_file) {
  const HICON icon = Zentu::MRender::LoadIconFromFile(icon_file.c_str());
  record_.cbSize = sizeof(record_);
  record_.hWnd = window;
  record_.uID = kTrayIconId;
  record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record_.uCallbackMessage = WM_TRAY_NOTIFY;
  record_.hIcon = icon;
  std::wcsncpy(record_.szTip, kAppName, std::size(record_.szTip) - 1);
  added_ = ::Shell_NotifyIconW(NIM_ADD, &record_) != FALSE;
  return added_;
}

void TrayIcon::Remove() {
  if (added_) ::Shell_NotifyIconW(NIM_DELETE, &record_);
  added_ = false;
  if (record_.hIcon) ::DestroyIcon(record_.hIcon);
  record_.hIcon = nullptr;
}

std::wstring TrayIconFile() { return Zentu::GetSkinPath(L"Calorix.ico").GetString(); }

void MarkMainWindow(HWND window) { ::SetPropW(window, kAppName, reinterpret_cast<HANDLE>(1)); }

void DisableInputMethod(HWND window) {
  if (HIMC context = ::ImmGetContext(window)) {
    ::ImmSetOpenStatus(context, FALSE);
    ::ImmReleaseContext(window, context);
  }
  ::ImmAssociateContext(window, nullptr);
}

HWND FindMainWindow() {
  for (HWND w = ::GetWindow(::GetDesktopWindow(), GW_CHILD); w && ::IsWindow(w);
       w = ::GetWindow(w, GW_HWNDNEXT)) {
    if (::GetPropW(w, kAppName)) return w;
  }
  return nullptr;
}

void MoveHome(HWND window) {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const ScreenRect home = HomeRect({work.left, work.top, work.right, work.bottom});
  ::MoveWindow(window, home.left, home.top, home.right - home.left, home.bottom - home.top, TRUE);
}

void ShowAtHome(HWND window) {
  ::SetForegroundWindow(window);
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::UpdateWindow(window);
  ::BringWindowToTop(window);
  MoveHome(window);
}

void ShowTrayMenu(HWND window, int device_count, std::optional<bool> show_gpu) {
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  wchar_t version[64];
  std::swprintf(version, std::size(version), L"Version: %ls", kProgramVersion);
  wchar_t devices[32];
  std::swprintf(devices, std::size(devices), L"%d Device", device_count);
  ::AppendMenuW(menu, MF_STRING, kCommandVersion, version);
  ::AppendMenuW(menu, MF_STRING, kCommandDeviceCount, devices);
  if (show_gpu) {
    ::AppendMenuW(menu, MF_STRING | (*show_gpu ? MF_CHECKED : MF_UNCHECKED), kCommandShowGpu,
                  L"Show GPU temperature");
  }
  ::AppendMenuW(menu, MF_STRING, kCommandExit, L"Exit");
  POINT cursor{};
  ::GetCursorPos(&cursor);
  ::SetForegroundWindow(window);
  ::TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
  ::DestroyMenu(menu);
}

LRESULT OnTrayNotify(HWND window, LPARAM mouse_message, const std::function<int()>& device_count,
                     const std::function<std::optional<bool>()>& show_gpu) {
  switch (static_cast<UINT>(mouse_message)) {
    case WM_LBUTTONDOWN:
      ShowAtHome(window);
      break;
    case WM_RBUTTONUP:
      ShowTrayMenu(window, device_count ? device_count() : 0, show_gpu ? show_gpu() : std::nullopt);
      break;
    default:
      break;
  }
  return 0;
}

UINT TaskbarCreatedMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

void AcceptTaskbarCreated(HWND window) {
  // The shell runs at medium integrity; without this the system's message filter drops its
  // broadcast to a window of an elevated process.
  ::ChangeWindowMessageFilterEx(window, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
}

}  // namespace calorix
