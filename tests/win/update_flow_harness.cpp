// The update flow without the tray program: a real window receives WM_UPDATE_RESULT, the real
// UpdateService runs on a real Worker, and the prompt is answered by a stand-in message box.
//
//   update_flow_harness.exe <base URL> <worker command code> <yes|no> [nokey]
//
// The update key is the test server's (CALORIX_TEST_KEY), or none with "nokey". Everything
// goes to the program log. The process ends only the way the program would end it: on the
// message the update service posts once the new program runs, with exit code 0.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/shell/worker.h"
#include "app/system/log.h"
#include "app/system/work_folder.h"
#include "app/update/http_fetch.h"
#include "app/update/signature_format.h"
#include "app/update/update_service.h"

namespace {

calorix::UpdateService* g_service = nullptr;  // not owned: lives in wmain until the end

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == calorix::WM_UPDATE_RESULT && g_service)
    return g_service->OnUpdateResult(wparam, lparam);
  if (message == calorix::WM_UPDATE_STARTED) ::PostQuitMessage(0);
  return ::DefWindowProcW(window, message, wparam, lparam);
}

std::optional<calorix::UpdateKey> TestKey() {
  wchar_t text[512] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"CALORIX_TEST_KEY", text, 512);
  return calorix::ParseUpdateKey(
      calorix::ToUtf8(std::wstring_view(text, length < 512 ? length : 0)));
}

HWND CreateMainWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CalorixUpdateHarness";
  ::RegisterClassW(&wc);
  return ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"update harness", WS_POPUP, 0, 0,
                           340, 250, nullptr, nullptr, wc.hInstance, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 && !(argc == 5 && std::wstring(argv[4]) == L"nokey")) return 2;
  calorix::OpenProgramLog();
  const unsigned answer = std::wstring(argv[3]) == L"yes" ? calorix::kBoxYes : 2;
  HWND window = CreateMainWindow();
  if (!window) return 3;

  calorix::UpdateLinks links;
  links.window = window;
  links.message_box = [answer](const std::wstring& text, const std::wstring& title, int style) {
    calorix::LogPrint(calorix::Info, "harness: asked \"%s\": \"%s\" (style %d), answered %u",
                      calorix::ToUtf8(title).c_str(), calorix::ToUtf8(text).c_str(), style, answer);
    return answer;
  };
  const std::optional<calorix::UpdateKey> key = argc == 4 ? TestKey() : std::nullopt;
  links.key = [key] { return key; };
  calorix::UpdateService service(argv[1], std::move(links));
  g_service = &service;
  calorix::Worker worker;  // declared after the service: its thread ends first
  service.Connect(worker);
  worker.SetIdleStep(
      [](const calorix::StopToken& stop) { stop.SleepFor(std::chrono::milliseconds(100)); });
  worker.Append(std::wcstol(argv[2], nullptr, 10));
  worker.Start();
  calorix::LogPrint(calorix::Info, "harness: running");

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
