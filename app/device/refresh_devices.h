// The worker's device refresh: reopen every display, then map the block if still needed.
#pragma once

#include "app/device/device_manager.h"
#include "app/temperature/temperature_mapping.h"

namespace calorix {

void RefreshDevices(DeviceManager& devices, TemperatureMapping& temperature);

}  // namespace calorix
