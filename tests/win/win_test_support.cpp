// Helpers shared by the Windows tests.
#include "tests/win/win_test_support.h"

namespace calorix::test {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

ChildProcess::ChildProcess(const std::wstring& command_line) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring line = command_line;
  PROCESS_INFORMATION pi{};
  if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &si, &pi)) {
    process_.reset(pi.hProcess);
    ::CloseHandle(pi.hThread);
  }
}

ChildProcess::~ChildProcess() {
  if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), 5000);
  }
}

DWORD ChildProcess::Wait(DWORD ms) {
  DWORD code = STILL_ACTIVE;
  if (process_ && ::WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0)
    ::GetExitCodeProcess(process_.get(), &code);
  return code;
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  while (!condition()) {
    if (::GetTickCount64() > end) return false;
    ::Sleep(20);
  }
  return true;
}

namespace {

std::vector<std::wstring> g_menu_items;  // the tracking thread's only
HHOOK g_menu_hook = nullptr;             // the tracking thread's only

// Reads the menu when its owner is told it is about to open, before it is shown: a menu that
// is on screen closes at any click on the display, and other test programs click there.
LRESULT CALLBACK ReadMenuAsItOpens(int code, WPARAM wparam, LPARAM lparam) {
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && message->message == WM_INITMENUPOPUP) {
    const auto menu = reinterpret_cast<HMENU>(message->wParam);
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
      wchar_t text[64] = {};
      ::GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
      g_menu_items.push_back(std::to_wstring(::GetMenuItemID(menu, i)) + L":" + text);
    }
    ::PostMessageW(message->hwnd, WM_CANCELMODE, 0, 0);
  }
  return ::CallNextHookEx(g_menu_hook, code, wparam, lparam);
}

}  // namespace

std::vector<std::wstring> TrackedMenuItems(const std::function<void()>& track) {
  g_menu_items.clear();
  g_menu_hook =
      ::SetWindowsHookExW(WH_CALLWNDPROC, &ReadMenuAsItOpens, nullptr, ::GetCurrentThreadId());
  track();
  ::UnhookWindowsHookEx(g_menu_hook);
  g_menu_hook = nullptr;
  return g_menu_items;
}

}  // namespace calorix::test
