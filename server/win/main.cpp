// Kalvaro, the hardware-monitor server: started by the tray program with no arguments, it
// shows nothing, keeps one copy per session, and publishes the temperature block once a second
// for as long as it runs. It is only ever terminated.
#include <windows.h>

#include "app/base/handles.h"
#include "app/system/log.h"
#include "app/system/readable_view.h"
#include "app/system/work_folder.h"
#include "app/temperature/temperature_block.h"
#include "server/win/monitor_readers.h"
#include "server/win/server_loop.h"

namespace {

constexpr wchar_t kInstanceMutex[] = L"KalvaroServer";
// A copy that is being terminated still holds the mutex for a moment: its successor waits that
// long for it to be abandoned before it concludes that another copy runs.
constexpr DWORD kPredecessorWaitMs = 250;
constexpr DWORD kRetryMs = 1000;

bool FirstCopy() {
  // Owned for the whole run by the main thread, which never ends before the process.
  HANDLE mutex = ::CreateMutexW(nullptr, TRUE, kInstanceMutex);
  if (!mutex) return true;  // no lock to be had: better a second copy than none
  if (::GetLastError() != ERROR_ALREADY_EXISTS) return true;
  const DWORD waited = ::WaitForSingleObject(mutex, kPredecessorWaitMs);
  return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

// The block in the local namespace, where the tray program opens it; never unmapped while the
// server runs. A block another program of the session made first and left uncommitted would
// fault at the first write: it is let go, said once, and asked for again every second, until
// its maker has gone and ours takes the name. Null when no block can be had at all.
void* MapBlock(calorix::UniqueKernelHandle& mapping) {
  for (bool told = false;; ::Sleep(kRetryMs)) {
    mapping.reset(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       calorix::kTemperatureBlockSize,
                                       calorix::kTemperatureBlockName));
    void* view = mapping ? ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0,
                                           calorix::kTemperatureBlockSize)
                         : nullptr;
    if (!view || calorix::ReadableBytes(view, calorix::kTemperatureBlockSize) ==
                     calorix::kTemperatureBlockSize)
      return view;
    ::UnmapViewOfFile(view);
    mapping.reset();
    if (!told) {
      calorix::LogPrint(calorix::Warn,
                        "the temperature block was made by another program and cannot all be "
                        "written; waiting for it to go");
      told = true;
    }
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (!FirstCopy()) return 0;
  calorix::OpenLogInWorkFolder(L"kalvaro.log");
  calorix::UniqueKernelHandle mapping;
  void* view = MapBlock(mapping);
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
