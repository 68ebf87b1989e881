// AIDA64's shared memory ("AIDA64_SensorValues"): XML elements without a root.
#pragma once

#include <string_view>

#include "server/core/reading.h"
#include "server/core/text.h"

namespace kalvaro {

// The temperature readings of the section's text (up to its NUL). Its time item ("STIME"),
// when the user exports it, is the stamp.
Sample ParseAida64(std::string_view text, AnsiDecoder decode = Latin1ToUtf8);

}  // namespace kalvaro
