// Layout of the block the hardware-monitor server publishes, and reads of its fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace calorix {

inline constexpr char kTemperatureBlockName[] = "vorlik_hardware_mapfile";
inline constexpr std::size_t kTemperatureBlockSize = 584;
inline constexpr std::size_t kGpuNameSize = 136;

// Written by another process without a lock: every field is read with plain loads and no
// consistency between fields is assumed.
struct TemperatureBlock {
  std::uint8_t reserved0[152];
  float cpu_temperature;  // degrees Celsius; exactly 0.0 means no value yet
  float cpu_liveness;     // > 0 once the server publishes
  char gpu1_name[kGpuNameSize];
  float gpu1_temperature;
  std::uint8_t reserved1[4];
  char gpu2_name[kGpuNameSize];
  float gpu2_temperature;
  std::uint8_t reserved2[140];
};

static_assert(sizeof(float) == 4);
static_assert(sizeof(TemperatureBlock) == kTemperatureBlockSize);
static_assert(offsetof(TemperatureBlock, cpu_temperature) == 152);
static_assert(offsetof(TemperatureBlock, cpu_liveness) == 156);
static_assert(offsetof(TemperatureBlock, gpu1_name) == 160);
static_assert(offsetof(TemperatureBlock, gpu1_temperature) == 296);
static_assert(offsetof(TemperatureBlock, reserved1) == 300);
static_assert(offsetof(TemperatureBlock, gpu2_name) == 304);
static_assert(offsetof(TemperatureBlock, gpu2_temperature) == 440);
static_assert(offsetof(TemperatureBlock, reserved2) == 444);

// A name field is text only up to its first NUL; a field the server left unterminated is
// cut at the field's end instead of reading into the next one.
inline std::size_t GpuNameLength(const char (&name)[kGpuNameSize]) {
  const void* nul = std::memchr(name, 0, kGpuNameSize - 1);
  return nul ? static_cast<const char*>(nul) - name : kGpuNameSize - 1;
}

// The adapter temperature the program keeps: the first adapter that has a name, else the
// first adapter's value.
inline float SelectGpuTemperature(const TemperatureBlock& block) {
  if (block.gpu1_name[0] != 0) return block.gpu1_temperature;
  if (block.gpu2_name[0] != 0) return block.gpu2_temperature;
  return block.gpu1_temperature;
}

inline bool NamesAnAdapter(const TemperatureBlock& block) {
  return block.gpu1_name[0] != 0 || block.gpu2_name[0] != 0;
}

// "device_type": 1 asks for the adapter's temperature instead of the CPU's.
inline constexpr int kDeviceTypeGpu = 1;

enum class ReadingSource : int { kCpu = 0, kGpu = 1 };

struct ShownReading {
  float celsius;
  ReadingSource source;
};

// What the display and the window show: with device type 1 and an adapter named, the
// adapter temperature SelectGpuTemperature picks; otherwise (also with no adapter named) the
// CPU temperature.
inline ShownReading SelectShownReading(const TemperatureBlock& block, int device_type) {
  if (device_type == kDeviceTypeGpu && NamesAnAdapter(block))
    return {SelectGpuTemperature(block), ReadingSource::kGpu};
  return {block.cpu_temperature, ReadingSource::kCpu};
}

}  // namespace calorix
