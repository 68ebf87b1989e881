// The process-wide diagnostic log.
#pragma once

#include <cstdint>
#include <filesystem>

#include "app/system/log_format.h"

namespace calorix {

// Writes one time-stamped line at `level`. Lines below Info cost one comparison; a level
// outside 0..5 writes nothing. Never fails towards the caller.
void LogPrint(int level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

inline constexpr std::uintmax_t kDefaultLogLimit = 1 << 20;

// Attaches the log to a file (appending). Until then lines are discarded. When the file
// grows past `max_bytes` it is renamed to "<name>.1" (replacing the older copy) and a new
// file is started, so at most about twice `max_bytes` is kept. A file that cannot be renamed
// starts again empty, and a file that cannot be reopened is tried again with the next line.
// On Windows the file's folders are held from the volume's root down and the file is renamed
// through its handle; a folder or file that is a link is refused, and that is written once to
// the standard error stream (the log cannot say it).
bool LogOpen(const std::filesystem::path& file, std::uintmax_t max_bytes = kDefaultLogLimit);
void LogClose();

// The clock the log reads; tests replace it. Returns the previous one.
using LogClock = LogTime (*)();
LogClock SetLogClock(LogClock clock);
LogTime LocalLogTime();

}  // namespace calorix
