// SendTemperature: one report of the CPU temperature to the displays and the main window.
#pragma once

#include <chrono>
#include <functional>

#include "app/device/device_manager.h"
#include "app/temperature/temperature_block.h"

namespace calorix {

inline constexpr std::chrono::milliseconds kReportPause{1000};

// What a report reaches beyond the device list. The Windows build wires the main window:
// its block pointer and unit setting, Zentu's SetCPUTemp and InvalidateRect of the window.
struct SendTemperatureLinks {
  std::function<const TemperatureBlock*()> block;   // null while the block is not mapped
  std::function<int()> unit_setting;                // "tempe_type": 1 is Fahrenheit
  std::function<int()> device_type;                 // "device_type": 1 is the adapter (null: 0)
  std::function<void(ReadingSource)> shown_source;  // what each report shows
  std::function<void(float)> set_cpu_temp;          // the value the window draws
  std::function<float()> shown_cpu_temp;            // the value it draws now (null: unknown)
  std::function<void()> invalidate;                 // repaint the main window, no erase
  DeviceManager* devices = nullptr;                 // not owned; null: the process-wide one
};

enum class SendResult {
  kNotMapped,  // nothing to read yet: returned at once
  kNoValue,    // 0.0 (no reading yet) or not finite: nothing sent, nothing logged, no pause
  kSent,       // report written, then paused
};

// Reads the block, logs the reading, converts it to the display value, hands it to the
// window and the displays, then pauses through `pause` (1000 ms; the worker's pause ends
// early when it is stopped). The reading is the CPU's, or the adapter's while the device
// type asks for it and the block names one (SelectShownReading); both are converted and
// limited alike. The window is invalidated only when the whole number it draws changes
// (always when `shown_cpu_temp` is null).
SendResult SendTemperature(const SendTemperatureLinks& links,
                           const std::function<void(std::chrono::milliseconds)>& pause);

}  // namespace calorix
