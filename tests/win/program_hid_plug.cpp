// Linked only into the end-to-end tests' build of the tray program, which has the hidapi
// double in place of hidapi: the tests plug and unplug scripted displays through it and
// read what the program's own thread sees. Both are set up before the entry runs, on the
// main thread:
// - a message-only window of class kPlugWindowClass takes WM_COPYDATA: kPlugCommand carries
//   "plug NAME STALL_MS" or "unplug NAME" (the double's collections; a stalled display makes
//   every open and I/O wait that long, so a device refresh ignores a stop), or "stalled",
//   which writes to the log how many calls wait out a stall now, kProbeCommand
//   writes to the log whether the main window has an input context, kShownCommand the number
//   the main window draws;
// - a hook sees the messages the thread sends to itself: at WM_INITMENUPOPUP it writes the
//   items of the menu about to open to the log, checked ones marked "[checked]", and at
//   WM_EXITMENULOOP that the menu has closed;
// - the environment variable CALORIX_E2E_WATCH_MS="TICK,SPACING" shortens the server watch
//   (the first minute's tick, the restart spacing), so that its minutes pass in seconds.
#include <windows.h>
#include <imm.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "app/shell/server_watch.h"
#include "app/shell/tray_icon.h"
#include "app/system/log.h"
#include "tests/doubles/hidapi_double.h"
#include "tests/win/program_e2e.h"
#include "ui/core/manager.h"

namespace {

void Plug(const std::string& name, int stall_ms) {
  // A display's keyboard collection and its vendor collection, as the arrival tests use.
  hid_double::Collection keyboard{name + "&col01", 0x1A2C, 0x444D, 0x0001, 0x06};
  hid_double::Collection vendor{name + "&col02"};
  keyboard.stall_ms = vendor.stall_ms = stall_ms;
  hid_double::AddCollection(keyboard);
  hid_double::AddCollection(vendor);
}

void RunScript(const COPYDATASTRUCT& data) {
  std::istringstream words(std::string(static_cast<const char*>(data.lpData), data.cbData));
  std::string verb, name;
  int stall_ms = 0;
  words >> verb >> name >> stall_ms;
  if (verb == "stalled") {
    calorix::LogPrint(calorix::Info, "e2e: stalled calls %d", hid_double::IoInProgress());
    return;
  }
  if (verb == "plug") Plug(name, stall_ms);
  if (verb == "unplug") hid_double::Unplug(name);
  calorix::LogPrint(calorix::Info, "e2e: %s %s", verb.c_str(), name.c_str());
}

void LogInputContext(HWND window) {
  HIMC context = ::ImmGetContext(window);
  calorix::LogPrint(calorix::Info, "e2e: input context %s", context ? "present" : "none");
  if (context) ::ImmReleaseContext(window, context);
}

void LogMenu(HMENU menu) {
  std::string line;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
    line += (i ? " | " : "") + std::to_string(::GetMenuItemID(menu, i)) + ":" +
            std::string(text, text + wcslen(text));
    if (::GetMenuState(menu, i, MF_BYPOSITION) & MF_CHECKED) line += " [checked]";
  }
  calorix::LogPrint(calorix::Info, "e2e: menu %s", line.c_str());
}

LRESULT CALLBACK PlugProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_COPYDATA) return ::DefWindowProcW(window, message, wparam, lparam);
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
  if (data->dwData == calorix::test::kPlugCommand) RunScript(*data);
  if (data->dwData == calorix::test::kProbeCommand) LogInputContext(calorix::FindMainWindow());
  if (data->dwData == calorix::test::kShownCommand) {
    calorix::LogPrint(calorix::Info, "e2e: shown %g",
                      static_cast<double>(Zentu::Manager::GetCPUTemp()));
  }
  return TRUE;
}

HWND CreatePlugWindow() {
  WNDCLASSW plug_class{};
  plug_class.lpfnWndProc = PlugProc;
  plug_class.hInstance = ::GetModuleHandleW(nullptr);
  plug_class.lpszClassName = calorix::test::kPlugWindowClass;
  ::RegisterClassW(&plug_class);
  return ::CreateWindowExW(0, plug_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           plug_class.hInstance, nullptr);
}

LRESULT CALLBACK SentMessageHook(int code, WPARAM wparam, LPARAM lparam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && sent->message == WM_INITMENUPOPUP) {
    LogMenu(reinterpret_cast<HMENU>(sent->wParam));
  }
  if (code == HC_ACTION && sent->message == WM_EXITMENULOOP) {
    calorix::LogPrint(calorix::Info, "e2e: menu closed");
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

bool ShortenServerWatch() {
  const char* text = std::getenv("CALORIX_E2E_WATCH_MS");
  calorix::ServerWatchPeriods periods;
  if (!text ||
      std::sscanf(text, "%u,%u", &periods.first_minute_tick_ms, &periods.restart_spacing_ms) != 2) {
    return false;
  }
  calorix::SetServerWatchPeriods(periods);
  return true;
}

// Static initialisation runs on the main thread, before the entry. The window lives until
// the process ends, served by whatever message loop the thread runs.
const HWND g_plug_window = CreatePlugWindow();
const HHOOK g_hook =
    ::SetWindowsHookExW(WH_CALLWNDPROC, SentMessageHook, nullptr, ::GetCurrentThreadId());
const bool g_watch_shortened = ShortenServerWatch();

}  // namespace
