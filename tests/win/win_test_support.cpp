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

}  // namespace calorix::test
