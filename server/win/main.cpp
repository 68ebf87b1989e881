// Kalvaro, the hardware-monitor server: started by the tray program with no arguments, it
// shows nothing, keeps one copy per session, and publishes the temperature block once a second
// for as long as it runs. It is only ever terminated.
#include <windows.h>

#include "app/system/log.h"
#include "app/system/work_folder.h"
#include "app/temperature/temperature_block.h"
#include "server/win/monitor_readers.h"
#include "server/win/server_loop.h"
#include "ui/core/win_handles.h"

namespace {

constexpr wchar_t kInstanceMutex[] = L"KalvaroServer";
// A copy that is being terminated still holds the mutex for a moment: its successor waits that
// long for it to be abandoned before it concludes that another copy runs.
constexpr DWORD kPredecessorWaitMs = 250;

bool FirstCopy() {
  // Owned for the whole run by the main thread, which never ends before the process.
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, kInstanceMutex);
  if (!mutex) return true;  // no lock to be had: better a second copy than none
  if (::GetLastError() != ERROR_ALREADY_EXISTS) return true;
  const DWORD waited = ::WaitForSingleObject(mutex, kPredecessorWaitMs);
  return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (!FirstCopy()) return 0;
  calorix::OpenLogInWorkFolder(L"kalvaro.log");
  // The local namespace, where the tray program opens it; never unmapped while the server runs.
  Zentu::UniqueKernelHandle mapping(
      ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                           calorix::kTemperatureBlockSize, calorix::kTemperatureBlockName));
  void* view =
      mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, calorix::kTemperatureBlockSize)
              : nullptr;
  if (!view) {
    calorix::LogPrint(calorix::Error, "cannot map the temperature block (error %lu)",
                      ::GetLastError());
    return 1;
  }
  calorix::LogPrint(calorix::Info, "Kalvaro started");
  kalvaro::MonitorReaders readers;
  kalvaro::ServerLoop loop(*static_cast<volatile calorix::TemperatureBlock*>(view), readers);
  loop.Run();
}
