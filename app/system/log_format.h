// Formatting of one diagnostic log line: time-stamp prefix, level label, message.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace calorix {

enum MsgLevel : int { Trace = 0, Debug = 1, Info = 2, Warn = 3, Error = 4, Fatal = 5 };

inline constexpr int kMinimumLogLevel = Info;
inline constexpr std::size_t kLogLineSize = 256;  // a line holds at most 255 characters

struct LogTime {
  int month, day, hour, minute, second, milliseconds;
};

// Five-character label of a level, or null for a level outside 0..5.
const char* LevelLabel(int level);

// Formats "[MM-DD hh:mm:ss.mmm][Label]message" into `line`, cut at 255 characters.
// Returns the length written, or 0 (and an empty line) for a level outside 0..5.
std::size_t FormatLogLine(char (&line)[kLogLineSize], const LogTime& time, int level,
                          const char* format, std::va_list args);

}  // namespace calorix
