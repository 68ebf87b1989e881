// Argus Monitor's data API ("ARGUSMONITOR_DATA_INTERFACE").
#pragma once

#include <cstdint>
#include <optional>

#include "server/core/bytes.h"
#include "server/core/reading.h"

namespace kalvaro {

inline constexpr std::uint32_t kArgusActive = 0x4D677241;  // "ArgM"
inline constexpr std::size_t kArgusRecordSize = 212;
inline constexpr std::uint32_t kArgusMaxSensors = 512;

// The temperature readings of a copy of the section; its cycle counter is the stamp. The
// header's number of sensor types (26 or 27 in the builds known) is found from the data.
// Nothing when neither fits; a sample that is not live while the signature or the counter
// says the data is invalid.
std::optional<Sample> ParseArgus(Bytes bytes);

}  // namespace kalvaro
