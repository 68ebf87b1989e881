// Entry of the tray program: one running copy per session, then the program's start-up.
#include <windows.h>

#include "app/system/log.h"
#include "app/system/settings.h"
#include "app/system/work_folder.h"
#include "ui/core/win_handles.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  Zentu::UniqueKernelHandle instance(::CreateMutexW(nullptr, FALSE, calorix::kAppName));
  if (!instance || ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;

  calorix::OpenProgramLog();
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  calorix::LogPrint(calorix::Info, "screen_width: %d, screen_height: %d, workArea(%d-%d-%d-%d)",
                    ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                    static_cast<int>(work.left), static_cast<int>(work.top),
                    static_cast<int>(work.right), static_cast<int>(work.bottom));
  // The main window and the worker that drive the display are built on this entry.
  return 0;
}
