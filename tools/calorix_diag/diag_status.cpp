// CalorixDiag's status report: displays, temperature block, server, tray program, logon task,
// settings.
#include <windows.h>

#include <vector>

#include "app/device/device_manager.h"
#include "app/shell/folder_trust.h"
#include "app/system/settings.h"
#include "app/temperature/monitor_server.h"
#include "app/temperature/temperature_mapping.h"
#include "server/core/block.h"
#include "tools/calorix_diag/diag_report.h"

namespace calorix::diag {

BlockView::BlockView() { MapTemperatureBlock(&mapping_, &view_, &created_new_); }

BlockView::~BlockView() {
  if (view_) ::UnmapViewOfFile(view_);
  if (mapping_) ::CloseHandle(mapping_);
}

namespace {

void PrintDisplays(const Streams& io) {
  DeviceManager& devices = DeviceManager::Instance();
  devices.RefreshDevices();
  const std::vector<DisplayInfo> displays = devices.Displays();
  std::fprintf(io.out, "Displays: %d\n", static_cast<int>(displays.size()));
  for (std::size_t i = 0; i < displays.size(); ++i) {
    const DisplayInfo& d = displays[i];
    int firmware = -1;
    char firmware_text[32] = "no answer";
    // As the update check formats it: 0x0123 is firmware "123".
    if (devices.GetFirmwareVersion(&firmware, i) && firmware >= 0)
      std::snprintf(firmware_text, sizeof firmware_text, "%x", static_cast<unsigned>(firmware));
    std::fprintf(io.out, "  %d. %s\n     product \"%s\", release %x.%02x, firmware %s\n",
                 d.index + 1, d.path.c_str(), Utf8(d.product_name).c_str(),
                 static_cast<unsigned>(d.release_number) >> 8,
                 static_cast<unsigned>(d.release_number) & 0xFF, firmware_text);
  }
}

void PrintAdapter(const Streams& io, int number, const char (&name)[kGpuNameSize], float celsius) {
  if (!name[0]) {
    std::fprintf(io.out, "  GPU %d none\n", number);
    return;
  }
  std::fprintf(io.out, "  GPU %d \"%s\" %.1f C\n", number,
               std::string(name, GpuNameLength(name)).c_str(), celsius);
}

// The block as the program reads it; mapping it creates it when nobody has yet.
void PrintBlock(const Streams& io, int unit) {
  BlockView view;
  std::fprintf(io.out, "Temperature block \"%s\": ", kTemperatureBlockName);
  const TemperatureBlock* block = view.block();
  if (!block) {
    std::fprintf(io.out, "cannot be mapped (error %lu)\n", ::GetLastError());
    return;
  }
  if (view.created_new())
    std::fprintf(io.out, "did not exist (no server or tray program has made it)\n");
  else if (!(block->cpu_liveness <= 0))  // a value that is not a number counts as published
    std::fprintf(io.out, "published, liveness %g\n", block->cpu_liveness);
  else
    std::fprintf(io.out, "not published yet, liveness %g\n", block->cpu_liveness);
  std::fprintf(io.out, "  %s\n", CpuText(block->cpu_temperature, unit).c_str());
  PrintAdapter(io, 1, block->gpu1_name, block->gpu1_temperature);
  PrintAdapter(io, 2, block->gpu2_name, block->gpu2_temperature);
  // Only our own server says where its value comes from; another server's block has no tag.
  if (const auto tag = kalvaro::ReadSourceTag(*block)) {
    std::fprintf(io.out, "Temperature source: %s\n", SourceText(*tag).c_str());
  }
}

void PrintServer(const Streams& io) {
  const auto ids = FindProcessesByName(L"Kalvaro.exe");
  std::fprintf(io.out, "Server Kalvaro.exe: ");
  if (!ids) {
    std::fprintf(io.out, "unknown (the process list cannot be read)\n");
    return;
  }
  if (ids->empty()) {
    std::fprintf(io.out, "not running\n");
    return;
  }
  std::fprintf(io.out, "running (process");
  for (DWORD id : *ids) std::fprintf(io.out, " %lu", id);
  std::fprintf(io.out, ")\n");
}

// Which of the two the tray program beside this tool does at each start.
void PrintLogonTask(const Streams& io) {
  const std::string others = WhoElseCanChange(GetProgramDirectory());
  if (others.empty()) {
    std::fprintf(io.out,
                 "Logon task: registered at each start (only SYSTEM, Administrators and "
                 "TrustedInstaller can change the program's folders)\n");
  } else {
    std::fprintf(io.out, "Logon task: not registered, %s\n", others.c_str());
  }
}

void PrintSettings(const Streams& io) {
  std::fprintf(io.out, "Settings HKCU\\SOFTWARE\\%s: ", Utf8(kAppName).c_str());
  if (!SettingsStored()) {
    std::fprintf(io.out, "none stored (the program has not run for this user)\n");
    return;
  }
  const int device_type = ReadSetting(kDeviceType);
  const int tempe_type = ReadSetting(kTempeType);
  std::fprintf(io.out, "led_switch %d, device_type %d (%s), tempe_type %d (%s)\n",
               ReadSetting(kLedSwitch), device_type, device_type == 1 ? "GPU" : "CPU", tempe_type,
               tempe_type == 1 ? "Fahrenheit" : "Celsius");
}

}  // namespace

bool TrayProgramRuns() {
  // The tray program holds its single-instance mutex for its whole run.
  HANDLE mutex = ::OpenMutexW(SYNCHRONIZE, FALSE, kAppName);
  if (mutex) ::CloseHandle(mutex);
  return mutex || ::GetLastError() == ERROR_ACCESS_DENIED;
}

int Status(const Streams& io) {
  PrintDisplays(io);
  PrintBlock(io, StoredUnit());
  PrintServer(io);
  std::fprintf(io.out, "Tray program: %s\n", TrayProgramRuns() ? "running" : "not running");
  PrintLogonTask(io);
  PrintSettings(io);
  return 0;
}

}  // namespace calorix::diag
