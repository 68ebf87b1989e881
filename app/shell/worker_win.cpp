// The worker's Windows side: InvalidateRect, Zentu's SetCPUTemp and the real block mapping.
#include "app/shell/worker_win.h"

#include "app/device/refresh_devices.h"
#include "ui/core/manager.h"

namespace calorix {

void ConnectMainWindowWorker(Worker& worker, HWND window, TemperatureMapping& temperature,
                             std::function<int()> unit_setting) {
  worker.SetHandler(WorkerCommand::RefreshDevices, [&temperature](const StopToken&) {
    RefreshDevices(DeviceManager::Instance(), temperature);
  });
  SendTemperatureLinks links;
  links.block = [&temperature] { return temperature.Block(); };
  links.unit_setting = std::move(unit_setting);
  links.set_cpu_temp = [](float value) { Zentu::Manager::SetCPUTemp(value); };
  links.shown_cpu_temp = [] { return Zentu::Manager::GetCPUTemp(); };
  // No erase: the layered window repaints its whole background anyway.
  links.invalidate = [window] { ::InvalidateRect(window, nullptr, FALSE); };
  worker.SetSendTemperature(std::move(links));
}

}  // namespace calorix
