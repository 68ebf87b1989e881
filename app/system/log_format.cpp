// Line layout of the diagnostic log.
#include "app/system/log_format.h"

#include <cstdio>
#include <cstring>

namespace calorix {

namespace {
// One table of six entries of six bytes: five characters and a NUL each.
constexpr char kLabels[6][6] = {"Trace", "Debug", "Info ", "Warn ", "Error", "Fatal"};
}  // namespace

const char* LevelLabel(int level) {
  if (level < Trace || level > Fatal) return nullptr;
  return kLabels[level];
}

std::size_t FormatLogLine(char (&line)[kLogLineSize], const LogTime& time, int level,
                          const char* format, std::va_list args) {
  std::memset(line, 0, sizeof line);
  const char* label = LevelLabel(level);
  if (!label) return 0;
  int prefix =
      std::snprintf(line, sizeof line, "[%02d-%02d %02d:%02d:%02d.%03d][%s]", time.month, time.day,
                    time.hour, time.minute, time.second, time.milliseconds, label);
  if (prefix < 0) return 0;
  std::size_t used = static_cast<std::size_t>(prefix);
  if (used >= sizeof line) return sizeof line - 1;
  std::vsnprintf(line + used, sizeof line - used, format ? format : "", args);
  return std::strlen(line);
}

}  // namespace calorix
