// Worker command 1.
#include "app/device/refresh_devices.h"

namespace calorix {

void RefreshDevices(DeviceManager& devices, TemperatureMapping& temperature) {
  devices.RefreshDevices();
  temperature.EnsureMapped();
}

}  // namespace calorix
