// Linked only into the end-to-end tests' build of the tray program, which has the hidapi
// double in place of hidapi: the tests plug and unplug scripted displays through it and
// read what the program's own thread shows. A hook on the main thread sees every message
// sent to its windows before they do:
// - WM_COPYDATA with kPlugCommand carries "plug NAME", "plug NAME STALL_MS" or
//   "unplug NAME" (the double's collections; a stalled display makes every open and I/O
//   wait that long, so a device refresh ignores a stop);
// - WM_COPYDATA with kProbeCommand writes the main window's input context to the log;
// - WM_INITMENUPOPUP writes the items of the menu about to open to the log.
#include <windows.h>
#include <imm.h>

#include <sstream>
#include <string>

#include "app/system/log.h"
#include "tests/doubles/hidapi_double.h"
#include "tests/win/program_e2e.h"

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
  }
  calorix::LogPrint(calorix::Info, "e2e: menu %s", line.c_str());
}

LRESULT CALLBACK SentMessageHook(int code, WPARAM wparam, LPARAM lparam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && sent->message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(sent->lParam);
    if (data->dwData == calorix::test::kPlugCommand) RunScript(*data);
    if (data->dwData == calorix::test::kProbeCommand) LogInputContext(sent->hwnd);
  } else if (code == HC_ACTION && sent->message == WM_INITMENUPOPUP) {
    LogMenu(reinterpret_cast<HMENU>(sent->wParam));
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

// Static initialisation runs on the main thread, before the entry.
const HHOOK g_hook =
    ::SetWindowsHookExW(WH_CALLWNDPROC, SentMessageHook, nullptr, ::GetCurrentThreadId());

}  // namespace
