// Entry of the tray program: one running copy per session, the process's preparation, the
// main window's modal run and the orderly shutdown.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>

#include <gdiplus.h>

#include <chrono>
#include <memory>

#include "app/shell/device_main_dlg.h"
#include "app/shell/startup.h"
#include "app/system/log.h"
#include "app/system/work_folder.h"
#include "app/temperature/monitor_server.h"
#include "ui/core/manager.h"

namespace {

using calorix::DeviceMainDlg;

// How much longer than Stop's own wait the shutdown gives a worker step that ignores the
// stop, before it ends the process around it.
constexpr std::chrono::milliseconds kWorkerGrace{1000};

// The one way out, after the modal loop, whatever ended it (see ExitPlan). The worker goes
// first and the window object (with the GDI+ images its paint manager holds) before COM and
// GDI+ are shut down. Returns the exit code.
int Shutdown(std::unique_ptr<DeviceMainDlg> dialog, ULONG_PTR gdiplus_token) {
  const calorix::ExitPlan plan = calorix::PlanFor(dialog->exit_reason());
  if (plan.end_server) dialog->EndServer();
  dialog->Stop();
  if (!dialog->WaitForWorker(kWorkerGrace)) {
    // Its step still uses the window object, so that object is not destroyed; the process
    // ends around it rather than keep the "KEM" mutex without a window.
    calorix::LogPrint(calorix::Error, "worker did not stop; ending the process");
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(plan.exit_code));
  }
  dialog.reset();
  // Undone in the reverse order of the set-up: OLE runs on top of COM.
  ::OleUninitialize();
  ::CoUninitialize();
  Gdiplus::GdiplusShutdown(gdiplus_token);
  calorix::LogPrint(calorix::Info, "program ended: %s, exit code %d", plan.name, plan.exit_code);
  return plan.exit_code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  calorix::RestrictDllSearch();
  if (!calorix::TakeSingleInstance()) return 0;
  calorix::OpenProgramLog();
  calorix::ApplyDpiRule();
  {
    const calorix::DebugPrivilege debug = calorix::EnableDebugPrivilege();
    calorix::TerminateProcessByName(calorix::kMonitorServerExe);
  }
  ULONG_PTR gdiplus_token = 0;
  const Gdiplus::GdiplusStartupInput gdiplus_input;
  Gdiplus::GdiplusStartup(&gdiplus_token, &gdiplus_input, nullptr);
  Zentu::Manager::SetInstance(instance);
  ::CoInitialize(nullptr);
  ::OleInitialize(nullptr);
  auto dialog = std::make_unique<DeviceMainDlg>();
  dialog->CreateAndRun();
  return Shutdown(std::move(dialog), gdiplus_token);
}
