// The send loop's step: block reading to log lines, window value and display report.
#include "app/device/send_temperature.h"

#include <atomic>
#include <climits>
#include <cmath>

#include "app/device/display_report.h"
#include "app/system/log.h"

namespace calorix {

namespace {

std::atomic<int> g_gpu_temperature{0};

// Truncated and, for Fahrenheit, converted like the CPU reading; held within int so that an
// absurd reading cannot overflow. A value that is not finite leaves the stored one alone.
void KeepGpuTemperature(float celsius, int unit_setting) {
  if (!std::isfinite(celsius)) return;
  double value = std::trunc(static_cast<double>(celsius));
  if (unit_setting == kFahrenheit) value = std::trunc(value * 1.8 + 32.0);
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  g_gpu_temperature = static_cast<int>(value);
}

// Whether the window, drawing `drawn` truncated, already shows `value`.
bool AlreadyShown(const SendTemperatureLinks& links, int value) {
  if (!links.shown_cpu_temp) return false;
  const float drawn = links.shown_cpu_temp();
  return std::isfinite(drawn) && std::trunc(static_cast<double>(drawn)) == value;
}

}  // namespace

int GpuTemperature() { return g_gpu_temperature.load(); }

SendResult SendTemperature(const SendTemperatureLinks& links,
                           const std::function<void(std::chrono::milliseconds)>& pause) {
  const TemperatureBlock* block = links.block ? links.block() : nullptr;
  if (!block) return SendResult::kNotMapped;
  const int unit = links.unit_setting ? links.unit_setting() : kCelsius;
  const ShownReading reading =
      SelectShownReading(*block, links.device_type ? links.device_type() : 0);
  KeepGpuTemperature(SelectGpuTemperature(*block), unit);
  const std::optional<int> shown = DisplayValue(reading.celsius, unit);
  if (!shown) return SendResult::kNoValue;

  LogPrint(Info,
           reading.source == ReadingSource::kGpu ? "gpu_temperatures: %f" : "cpu_temperatures: %f",
           static_cast<double>(reading.celsius));
  const Report report = BuildDisplayReport(*shown);
  // A repaint costs the window a whole paint pass; the display gets its report regardless.
  const bool unchanged = AlreadyShown(links, *shown);
  if (links.set_cpu_temp) links.set_cpu_temp(static_cast<float>(*shown));
  if (links.invalidate && !unchanged) links.invalidate();
  if (links.shown_source) links.shown_source(reading.source);
  LogPrint(Info, "buffer[3]: %d, buffer[4]: %d, buffer[5]: %d", report[3], report[4], report[5]);
  DeviceManager& devices = links.devices ? *links.devices : DeviceManager::Instance();
  devices.WriteReport(report);
  if (pause) pause(kReportPause);
  return SendResult::kSent;
}

}  // namespace calorix
