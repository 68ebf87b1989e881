// The worker's Windows side: InvalidateRect, Zentu's SetCPUTemp and the real block mapping.
#include "app/shell/worker_win.h"

#include <atomic>
#include <memory>

#include "app/device/refresh_devices.h"
#include "app/shell/shell_constants.h"
#include "ui/core/manager.h"

namespace calorix {

void ConnectMainWindowWorker(Worker& worker, HWND window, TemperatureMapping& temperature,
                             std::function<int()> unit_setting, std::function<int()> device_type,
                             ArrivedInterfaces* arrived) {
  worker.SetHandler(WorkerCommand::RefreshDevices,
                    [&worker, &temperature, arrived](const StopToken&) {
                      const int displays = arrived ? arrived->TakeDisplayInterfaces() : 0;
                      for (int i = 0; i < displays; ++i)
                        worker.Append(WorkerCommand::RefreshDevices);
                      RefreshDevices(DeviceManager::Instance(), temperature);
                    });
  SendTemperatureLinks links;
  links.block = [&temperature] { return temperature.Block(); };
  links.unit_setting = std::move(unit_setting);
  links.device_type = std::move(device_type);
  // Shared: the worker copies its idle step, links included, for every step. The window
  // starts out showing the CPU's background.
  links.shown_source = [window, last = std::make_shared<std::atomic<ReadingSource>>(
                                    ReadingSource::kCpu)](ReadingSource source) {
    if (last->exchange(source) == source) return;
    ::PostMessageW(window, WM_READING_SOURCE, static_cast<WPARAM>(source), 0);
  };
  links.set_cpu_temp = [](float value) { Zentu::Manager::SetCPUTemp(value); };
  links.shown_cpu_temp = [] { return Zentu::Manager::GetCPUTemp(); };
  // No erase: the layered window repaints its whole background anyway.
  links.invalidate = [window] { ::InvalidateRect(window, nullptr, FALSE); };
  worker.SetSendTemperature(std::move(links));
}

}  // namespace calorix
