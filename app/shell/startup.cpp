// One running copy, the DPI rule and the debug privilege.
#include "app/shell/startup.h"

#include "app/shell/placement.h"
#include "app/shell/tray_icon.h"
#include "app/system/settings.h"

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

DebugPrivilege::DebugPrivilege() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
    return;
  token_.reset(raw);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  ::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid);
  DWORD size = 0;
  // The adjustment "succeeds" without the privilege held; only the last error tells.
  ::AdjustTokenPrivileges(token_.get(), FALSE, &privileges, sizeof previous_, &previous_, &size);
  enabled_ = ::GetLastError() == ERROR_SUCCESS;
  if (!enabled_) token_.reset();
}

DebugPrivilege EnableDebugPrivilege() { return DebugPrivilege(); }

DebugPrivilege::~DebugPrivilege() {
  // The previous state lists only what the adjustment changed: nothing when it was enabled.
  if (token_ && previous_.PrivilegeCount > 0)
    ::AdjustTokenPrivileges(token_.get(), FALSE, &previous_, 0, nullptr, nullptr);
}

}  // namespace calorix
