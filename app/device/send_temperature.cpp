// The send loop's step: block reading to log lines, window value and display report.
#include "app/device/send_temperature.h"

#include <cmath>

#include "app/device/display_report.h"
#include "app/system/log.h"

namespace calorix {

namespace {

// Whether the window, drawing `drawn` truncated, already shows `value`.
bool AlreadyShown(const SendTemperatureLinks& links, int value) {
  if (!links.shown_cpu_temp) return false;
  const float drawn = links.shown_cpu_temp();
  return std::isfinite(drawn) && std::trunc(static_cast<double>(drawn)) == value;
}

}  // namespace

SendResult SendTemperature(const SendTemperatureLinks& links,
                           const std::function<void(std::chrono::milliseconds)>& pause) {
  const TemperatureBlock* block = links.block ? links.block() : nullptr;
  if (!block) return SendResult::kNotMapped;
  const int unit = links.unit_setting ? links.unit_setting() : kCelsius;
  const ShownReading reading =
      SelectShownReading(*block, links.device_type ? links.device_type() : 0);
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
