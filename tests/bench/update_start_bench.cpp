// Prints how long the worker's start-up commands (quiet software check, device refresh, quiet
// firmware check) hold back the first temperature report, for update servers that accept
// connections and never answer, that refuse them, and that answer. Run it through
// tests/fixtures/update/update_site.py, which provides the servers.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "app/device/device_manager.h"
#include "app/shell/worker.h"
#include "app/update/update_service.h"

namespace {

using Clock = std::chrono::steady_clock;

std::wstring Env(const wchar_t* name) {
  wchar_t value[512] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, 512);
  return length < 512 ? std::wstring(value, length) : std::wstring();
}

// Milliseconds from the worker's start to its first idle step, which is the first report.
double FirstReportMs(const std::wstring& base) {
  calorix::UpdateLinks links;
  links.started = [] {};
  calorix::UpdateService service(base, std::move(links));
  std::atomic<bool> reported{false};
  Clock::time_point start, first;
  {
    calorix::Worker worker;
    service.Connect(worker);
    worker.SetHandler(calorix::WorkerCommand::RefreshDevices, [](const calorix::StopToken&) {
      calorix::DeviceManager::Instance().RefreshDevices();
    });
    worker.SetIdleStep([&](const calorix::StopToken&) {
      if (!reported.exchange(true)) first = Clock::now();
    });
    worker.Append(calorix::WorkerCommand::CheckSoftwareQuiet);
    worker.Append(calorix::WorkerCommand::RefreshDevices);
    worker.Append(calorix::WorkerCommand::CheckFirmwareQuiet);
    start = Clock::now();
    worker.Start();
    while (!reported) ::Sleep(5);
    worker.Stop();
  }
  return std::chrono::duration<double, std::milli>(first - start).count();
}

}  // namespace

int main() {
  const std::wstring silent = Env(L"CALORIX_TEST_SILENT");
  if (silent.empty()) {
    std::puts("run through tests/fixtures/update/update_site.py");
    return 1;
  }
  const struct {
    const char* name;
    std::wstring base;
  } servers[] = {
      {"accepts, never answers (http) ", silent},
      {"accepts, never answers (https)", L"https" + silent.substr(4)},
      {"refuses connections           ", Env(L"CALORIX_TEST_REFUSED")},
      {"answers (a newer version)     ", Env(L"CALORIX_TEST_HTTP") + L"/ok"},
  };
  constexpr int kRuns = 3;
  std::printf("first report after start (%d runs each), ms\n", kRuns);
  for (const auto& server : servers) {
    std::printf("  %s:", server.name);
    for (int i = 0; i < kRuns; ++i) std::printf(" %8.1f", FirstReportMs(server.base));
    std::printf("\n");
  }
  return 0;
}
