// Any bytes another process leaves in the shared block give a safe display value.
#include <cstdint>
#include <cstring>

#include "app/device/display_report.h"
#include "app/temperature/temperature_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  calorix::TemperatureBlock block{};
  std::memcpy(&block, data, size < sizeof block ? size : sizeof block);
  for (int unit : {0, 1, 2}) {
    const auto value = calorix::DisplayValue(block.cpu_temperature, unit);
    if (value && (*value < 0 || *value > calorix::kMaxDisplayValue)) __builtin_trap();
    const auto report = calorix::BuildDisplayReport(value.value_or(0));
    if (report[3] > 9 || report[4] > 9 || report[5] > 9) __builtin_trap();
    calorix::DisplayValue(calorix::SelectGpuTemperature(block), unit);
  }
  if (calorix::GpuNameLength(block.gpu1_name) >= calorix::kGpuNameSize) __builtin_trap();
  if (calorix::GpuNameLength(block.gpu2_name) >= calorix::kGpuNameSize) __builtin_trap();
  return 0;
}
