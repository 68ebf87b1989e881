// Reads of the shared block's name and adapter fields.
#include "app/temperature/temperature_block.h"

#include <gtest/gtest.h>

namespace calorix {
namespace {

TEST(TemperatureBlock, AdapterTemperaturePrefersTheFirstNamedAdapter) {
  TemperatureBlock b{};
  b.gpu1_temperature = 40;
  b.gpu2_temperature = 60;
  EXPECT_EQ(SelectGpuTemperature(b), 40);  // no names: the first adapter's value
  std::strcpy(b.gpu2_name, "Second");
  EXPECT_EQ(SelectGpuTemperature(b), 60);
  std::strcpy(b.gpu1_name, "First");
  EXPECT_EQ(SelectGpuTemperature(b), 40);
}

TEST(TemperatureBlock, UnterminatedNameStopsAtItsField) {
  TemperatureBlock b{};
  EXPECT_EQ(GpuNameLength(b.gpu1_name), 0u);
  std::strcpy(b.gpu1_name, "Radeon");
  EXPECT_EQ(GpuNameLength(b.gpu1_name), 6u);
  std::memset(b.gpu1_name, 'x', sizeof b.gpu1_name);
  EXPECT_EQ(GpuNameLength(b.gpu1_name), kGpuNameSize - 1);
}

}  // namespace
}  // namespace calorix
