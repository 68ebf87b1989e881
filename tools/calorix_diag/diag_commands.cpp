// CalorixDiag's commands beyond the status: values to the displays, watching the readings,
// and the uninstaller's task removal and program end.
#include <windows.h>

#include "app/base/handles.h"
#include "app/device/device_manager.h"
#include "app/device/display_report.h"
#include "app/system/startup_task.h"
#include "app/temperature/monitor_server.h"
#include "tools/calorix_diag/diag_report.h"

namespace calorix::diag {
namespace {

constexpr wchar_t kTrayProgram[] = L"Calorix.exe";
constexpr DWORD kExitWaitMs = 5000;

// The displays, opened afresh; 0 after a message when there is none to send to.
int OpenDisplays(const Streams& io) {
  DeviceManager& devices = DeviceManager::Instance();
  devices.RefreshDevices();
  const int count = devices.DeviceCount();
  if (count == 0) {
    std::fprintf(io.err, "No display found: nothing sent.\n");
    return 0;
  }
  // Both programs can hold a display open at once (hidapi opens it shared), and the last
  // report wins: the tray program's next one replaces ours within about a second.
  if (TrayProgramRuns())
    std::fprintf(io.out, "Note: the tray program runs and sends its own value every second.\n");
  return count;
}

}  // namespace

int Show(int value, const Streams& io) {
  const int count = OpenDisplays(io);
  if (count == 0) return 1;
  DeviceManager::Instance().WriteReport(BuildDisplayReport(value));
  std::fprintf(io.out, "Sent %03d to %d display(s).\n", value, count);
  return 0;
}

int Sweep(int interval_ms, const Streams& io) {
  const int count = OpenDisplays(io);
  if (count == 0) return 1;
  std::fprintf(io.out, "Counting 000 to %03d on %d display(s), %d ms a step.\n", kMaxDisplayValue,
               count, interval_ms);
  std::fflush(io.out);
  for (int value = 0; value <= kMaxDisplayValue; ++value) {
    DeviceManager::Instance().WriteReport(BuildDisplayReport(value));
    if (WaitOrStop(interval_ms)) {
      std::fprintf(io.out, "Stopped at %03d.\n", value);
      return 0;
    }
  }
  std::fprintf(io.out, "Done.\n");
  return 0;
}

int Watch(int interval_ms, long long count, const Streams& io) {
  DeviceManager& devices = DeviceManager::Instance();
  devices.RefreshDevices();
  BlockView view;
  if (!view.block()) {
    std::fprintf(io.err, "The temperature block \"%s\" cannot be mapped.\n", kTemperatureBlockName);
    return 1;
  }
  const int unit = StoredUnit();
  for (long long line = 0; count < 0 || line < count; ++line) {
    if (line > 0 && WaitOrStop(interval_ms)) break;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const TemperatureBlock& block = *view.block();
    std::fprintf(io.out, "%02d:%02d:%02d.%03d  %s, liveness %g, %s, displays %d\n", now.wHour,
                 now.wMinute, now.wSecond, now.wMilliseconds,
                 CpuText(block.cpu_temperature, unit).c_str(), block.cpu_liveness,
                 AdapterText(block).c_str(), devices.DeviceCount());
    std::fflush(io.out);
  }
  return 0;
}

int RemoveTask(const Streams& io) {
  switch (DeleteStartupTask(CreateTaskSchedulerService, io.err)) {
    case StartupTaskRemoval::kRemoved:
      std::fprintf(io.out, "Removed the logon task \"%s\".\n", Utf8(kStartupTaskName).c_str());
      return 0;
    case StartupTaskRemoval::kAbsent:
      std::fprintf(io.out, "No logon task \"%s\" to remove.\n", Utf8(kStartupTaskName).c_str());
      return 0;
    case StartupTaskRemoval::kFailed:
      break;
  }
  return 1;
}

int EndProgram(const Streams& io) {
  int ended = 0, failed = 0;
  for (const wchar_t* program : {kTrayProgram, kMonitorServerExe}) {
    const auto ids = FindProcessesByName(program);
    if (!ids) {
      std::fprintf(io.err, "The process list cannot be read.\n");
      return 1;
    }
    for (DWORD id : *ids) {
      UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
      if (!process && ::GetLastError() == ERROR_INVALID_PARAMETER) continue;  // gone meanwhile
      // Fails harmlessly when it is ending already. Its files can be replaced only once it has
      // really gone, so wait for that.
      if (process) ::TerminateProcess(process.get(), 0);
      if (process && ::WaitForSingleObject(process.get(), kExitWaitMs) == WAIT_OBJECT_0) {
        ++ended;
        continue;
      }
      std::fprintf(io.err, "Could not end %s (process %lu).\n", Utf8(program).c_str(), id);
      ++failed;
    }
  }
  std::fprintf(io.out, "Ended %d running program(s).\n", ended);
  return failed ? 1 : 0;
}

}  // namespace calorix::diag
