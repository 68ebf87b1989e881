// Bytes of the display's feature report 0x07: temperature digits and firmware query.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace calorix {

inline constexpr std::uint8_t kReportId = 0x07;
inline constexpr int kMaxDisplayValue = 199;
using Report = std::array<std::uint8_t, 64>;

enum TemperatureUnit : int { kCelsius = 0, kFahrenheit = 1 };

// The whole number the display shows for a reading in degrees Celsius: truncated, converted
// when the unit setting is exactly 1 (Fahrenheit), then held within 0..199. Nothing is shown
// for 0.0 (no reading yet) or for a value that is not finite.
std::optional<int> DisplayValue(float celsius, int unit_setting);

// 07 FF FF, then the hundreds, tens and units digits of `value` (0..199), then zeros.
Report BuildDisplayReport(int value);

// hidapi's set-feature call is given the report followed by one zero byte.
std::array<std::uint8_t, 65> WithTrailingZero(const Report& report);

Report BuildFirmwareVersionRequest();
int DecodeFirmwareVersion(const Report& reply);

}  // namespace calorix
