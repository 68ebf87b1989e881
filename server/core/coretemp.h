// Core Temp's shared memory ("CoreTempMappingObject" and its extended form).
#pragma once

#include <optional>

#include "server/core/bytes.h"
#include "server/core/reading.h"
#include "server/core/text.h"

namespace kalvaro {

// The base structure's size with 1-byte packing: every field read here lies within it.
inline constexpr std::size_t kCoreTempBaseSize = 2686;

// One reading per core, in Celsius. Nothing when the bytes are too short or the counts are
// zero or larger than the arrays (Core Temp writes zero counts while its data is invalid).
std::optional<Sample> ParseCoreTemp(Bytes bytes, AnsiDecoder decode = Latin1ToUtf8);

}  // namespace kalvaro
