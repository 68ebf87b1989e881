// Worker command 1.
#include "app/device/refresh_devices.h"

#include "app/system/log.h"

namespace calorix {

void RefreshDevices(DeviceManager& devices, TemperatureMapping& temperature) {
  devices.RefreshDevices();
  temperature.EnsureMapped();
  // Rare (start-up and plugging), and the only place the log says what is connected.
  LogPrint(Info, "devices refreshed: %d display(s)", devices.DeviceCount());
}

}  // namespace calorix
