// Plugs the main window's parts into its worker: the device refresh and the send loop.
#pragma once

#include <windows.h>

#include <functional>

#include "app/device/device_arrival.h"
#include "app/shell/worker.h"
#include "app/temperature/temperature_mapping.h"

namespace calorix {

// Command 1 reopens the displays and maps the block, after checking the interfaces in
// `arrived` (when given) and queuing one refresh more for each display among them; the idle
// step sends the temperature, hands it to Zentu's Manager and invalidates `window`. When a report
// shows another source (CPU or adapter) than the one before, `window` is posted WM_READING_SOURCE
// with it. `temperature`, `arrived` and whatever `unit_setting` and `device_type` read are the main
// window's and must outlive the worker (declare the worker after them). The update service
// plugs in commands 3 to 8 itself.
void ConnectMainWindowWorker(Worker& worker, HWND window, TemperatureMapping& temperature,
                             std::function<int()> unit_setting,
                             std::function<int()> device_type = nullptr,
                             ArrivedInterfaces* arrived = nullptr);

}  // namespace calorix
