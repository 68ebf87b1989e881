// The end-to-end driver's hands inside Wine: finds the running tray program's windows and
// sends it real messages. One command per run; prints one line.
//
//   program_probe window                   "count hwnd visible left top right bottom"
//   program_probe box                      "hwnd left top right bottom" of the message box
//   program_probe post MSG WPARAM LPARAM   posts to the main window
//   program_probe script TEXT...           the test build's plug command (WM_COPYDATA)
//   program_probe input-context            asks the test build to log the input context
//   program_probe shown                    asks the test build to log the number the window
//                                          draws
//   program_probe device EVENT PATH        WM_DEVICECHANGE with an interface record
//   program_probe tray-delete              deletes the main window's tray icon, as a shell
//                                          that restarts loses it
//   program_probe taskbar-created          broadcasts the shell's "TaskbarCreated"
//
// Windows that are not found print "none" and exit with 1.
#include <windows.h>
#include <dbt.h>
#include <shellapi.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/win/program_e2e.h"

namespace {

BOOL CALLBACK CollectMarked(HWND window, LPARAM list) {
  if (::GetPropW(window, L"KEM")) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// Every top-level window carrying the "KEM" property (the main window marks itself).
std::vector<HWND> MainWindows() {
  std::vector<HWND> found;
  ::EnumWindows(CollectMarked, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND MainWindow() {
  const std::vector<HWND> windows = MainWindows();
  return windows.empty() ? nullptr : windows.front();
}

void PrintRect(const RECT& r) {
  std::printf(" %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
}

int None() {
  std::printf("none\n");
  return 1;
}

int Window() {
  const std::vector<HWND> windows = MainWindows();
  if (windows.empty()) return None();
  RECT r{};
  ::GetWindowRect(windows.front(), &r);
  std::printf("%u %lu %d", static_cast<unsigned>(windows.size()),
              static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(windows.front())),
              ::IsWindowVisible(windows.front()) ? 1 : 0);
  PrintRect(r);
  return 0;
}

int Box() {
  HWND box = ::FindWindowW(L"MWindow", L"MessageBox");
  if (!box) return None();
  RECT r{};
  ::GetWindowRect(box, &r);
  std::printf("%lu", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(box)));
  PrintRect(r);
  return 0;
}

int SendCopyData(ULONG_PTR kind, const std::string& text) {
  HWND window = ::FindWindowExW(HWND_MESSAGE, nullptr, calorix::test::kPlugWindowClass, nullptr);
  if (!window) return None();
  COPYDATASTRUCT data{kind, static_cast<DWORD>(text.size()), const_cast<char*>(text.data())};
  ::SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  std::printf("sent\n");
  return 0;
}

// A device-interface broadcast as the system sends it: header, then the zero-ended path.
int Device(const wchar_t* event, const wchar_t* path) {
  HWND window = MainWindow();
  if (!window) return None();
  const std::size_t length = std::wcslen(path);
  constexpr std::size_t kHeader = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  std::vector<unsigned char> bytes(kHeader + 2 * (length + 1));
  auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
  record->dbcc_size = static_cast<DWORD>(bytes.size());
  record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(record->dbcc_name, path, 2 * length);
  const WPARAM code =
      std::wcscmp(event, L"arrival") == 0 ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
  // Sent, not posted: a device change with a record cannot be posted.
  const LRESULT result =
      ::SendMessageW(window, WM_DEVICECHANGE, code, reinterpret_cast<LPARAM>(bytes.data()));
  std::printf("result %ld\n", static_cast<long>(result));
  return 0;
}

int TrayDelete() {
  HWND window = MainWindow();
  if (!window) return None();
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = 109;  // the program's icon id
  std::printf("%s\n", ::Shell_NotifyIconW(NIM_DELETE, &icon) ? "deleted" : "not deleted");
  return 0;
}

int TaskbarCreated() {
  const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
  return ::PostMessageW(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
}

std::string Narrow(int count, wchar_t** words) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i) text += ' ';
    for (const wchar_t* c = words[i]; *c; ++c) text += static_cast<char>(*c);
  }
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"window") return Window();
  if (command == L"box") return Box();
  if (command == L"post" && argc == 5) {
    HWND window = MainWindow();
    if (!window) return None();
    auto number = [](const wchar_t* text) { return std::wcstoul(text, nullptr, 0); };
    return ::PostMessageW(window, number(argv[2]), number(argv[3]), number(argv[4])) ? 0 : 1;
  }
  if (command == L"script")
    return SendCopyData(calorix::test::kPlugCommand, Narrow(argc - 2, argv + 2));
  if (command == L"input-context") return SendCopyData(calorix::test::kProbeCommand, "");
  if (command == L"shown") return SendCopyData(calorix::test::kShownCommand, "");
  if (command == L"tray-delete") return TrayDelete();
  if (command == L"taskbar-created") return TaskbarCreated();
  if (command == L"device" && argc == 4) return Device(argv[2], argv[3]);
  std::fprintf(stderr, "usage: see program_probe.cpp\n");
  return 2;
}
