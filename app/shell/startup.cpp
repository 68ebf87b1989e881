// One running copy, the DPI rule and the debug privilege.
#include "app/shell/startup.h"

#include "app/shell/placement.h"
#include "app/shell/tray_icon.h"
#include "app/system/settings.h"
#include "ui/core/win_handles.h"

namespace calorix {

void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  // Through void(*)() so the cast between function types is explicit, not a warning.
  const auto set_default =
      reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
          ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!set_default ||
      !set_default(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR))
    ::SetDllDirectoryW(L"");
}

bool TakeSingleInstance() {
  // Never closed: the system releases the mutex when the process ends, so it is held for
  // exactly as long as this copy runs.
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, kAppName);
  if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    FindMainWindow();
    return false;
  }
  return true;
}

void ApplyDpiRule() {
  if (NeedsDpiAwareness(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN))) {
    ::SetProcessDPIAware();
  }
}

bool EnableDebugPrivilege() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &raw)) return false;
  Zentu::UniqueKernelHandle token(raw);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid);
  // The adjustment "succeeds" without the privilege held; only the last error tells.
  ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  return ::GetLastError() == ERROR_SUCCESS;
}

}  // namespace calorix
