// HWiNFO's sensor shared memory ("HWiNFO_SENS_SM2") and its Gadget values in the registry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/core/bytes.h"
#include "server/core/reading.h"
#include "server/core/text.h"

namespace kalvaro {

inline constexpr std::uint32_t kHwinfoActive = 0x53695748;  // "HWiS"
inline constexpr std::uint32_t kHwinfoDead = 0x44414544;    // "DEAD"
// The smallest elements the layout has ever had (version 1); a stride below them cannot hold
// the fields every version has.
inline constexpr std::uint32_t kHwinfoSensorSizeV1 = 264;
inline constexpr std::uint32_t kHwinfoReadingSizeV1 = 316;

// The temperature readings of a copy of the section, judged against the wall clock
// `unix_now_s`. Nothing when the bytes are not an HWiNFO header; a "DEAD" section gives a
// sample that is not live.
std::optional<Sample> ParseHwinfo(Bytes bytes, std::int64_t unix_now_s,
                                  AnsiDecoder decode = Latin1ToUtf8);

// Sets the role of a reading by its sensor's and its own English names: the CPU sensor's
// package and core readings, a "GPU [#n]: <adapter>: ..." sensor's readings (`sensor_index`
// orders the adapters).
void ClassifyHwinfoReading(Reading& reading, int sensor_index);

// One value of HWiNFO's Gadget key (HKCU\Software\HWiNFO64\VSB), name and text as UTF-8.
struct GadgetValue {
  std::string name;  // "Sensor3", "Label3", "Value3", "ValueRaw3", ...
  std::string data;
};

// The temperature readings among the key's values, grouped by their number.
std::vector<Reading> ParseHwinfoGadget(const std::vector<GadgetValue>& values);

}  // namespace kalvaro
