// Conversion of a reading to display digits, and the firmware-version exchange bytes.
#include "app/device/display_report.h"

#include <algorithm>
#include <cmath>

namespace calorix {

std::optional<int> DisplayValue(float celsius, int unit_setting) {
  if (celsius == 0.0f || !std::isfinite(celsius)) return std::nullopt;
  // Work in double so that huge readings clamp instead of overflowing an int.
  double value = std::trunc(static_cast<double>(celsius));
  if (unit_setting == kFahrenheit) value = std::trunc(value * 1.8 + 32.0);
  value = std::clamp(value, 0.0, static_cast<double>(kMaxDisplayValue));
  return static_cast<int>(value);
}

Report BuildDisplayReport(int value) {
  value = std::clamp(value, 0, kMaxDisplayValue);
  Report report{};
  report[0] = kReportId;
  report[1] = 0xFF;
  report[2] = 0xFF;
  report[3] = static_cast<std::uint8_t>((value / 100) % 10);
  report[4] = static_cast<std::uint8_t>((value / 10) % 10);
  report[5] = static_cast<std::uint8_t>(value - 10 * (value / 10));
  return report;
}

std::array<std::uint8_t, 65> WithTrailingZero(const Report& report) {
  std::array<std::uint8_t, 65> wire{};
  std::copy(report.begin(), report.end(), wire.begin());
  return wire;
}

Report BuildFirmwareVersionRequest() {
  Report request{};
  request[0] = kReportId;
  request[1] = 0xFD;
  return request;
}

int DecodeFirmwareVersion(const Report& reply) { return reply[1] * 256 + reply[2]; }

}  // namespace calorix
