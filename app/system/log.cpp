// The log writer: one lock, one file, size-bounded by rotation.
#include "app/system/log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <system_error>

namespace calorix {

namespace {

struct LogState {
  std::mutex lock;             // one line at a time, from any thread
  std::FILE* file = nullptr;   // owned; null while a reopen keeps failing
  std::filesystem::path path;  // empty while the log is not attached
  std::uintmax_t limit = kDefaultLogLimit;
  std::uintmax_t size = 0;
  LogClock clock = &LocalLogTime;
};

LogState& State() {
  static LogState state;
  return state;
}

std::FILE* Open(const std::filesystem::path& path, bool truncate) {
#ifdef _WIN32
  return _wfopen(path.c_str(), truncate ? L"wb" : L"ab");
#else
  return std::fopen(path.c_str(), truncate ? "wb" : "ab");
#endif
}

// Opens the attached file for appending and counts what it already holds.
void ReopenLocked(LogState& s) {
  s.file = Open(s.path, false);
  std::error_code ec;
  const auto existing = std::filesystem::file_size(s.path, ec);
  s.size = ec ? 0 : existing;
}

void CloseLocked(LogState& s) {
  if (s.file) std::fclose(s.file);
  s.file = nullptr;
}

// Called with the lock held before a line of `incoming` bytes is written.
void RotateIfFull(LogState& s, std::size_t incoming) {
  if (!s.file || s.size + incoming <= s.limit) return;
  CloseLocked(s);
  std::error_code ec;
  std::filesystem::path old = s.path;
  old += ".1";
  std::filesystem::remove(old, ec);
  std::filesystem::rename(s.path, old, ec);
  // A file that cannot be moved aside (the old copy is held open, say) starts again empty;
  // appending to it would let it grow by another full limit on every cycle.
  s.file = Open(s.path, static_cast<bool>(ec));
  s.size = 0;
}

}  // namespace

LogTime LocalLogTime() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return {local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,     local.tm_sec,  static_cast<int>(ms)};
}

LogClock SetLogClock(LogClock clock) {
  std::lock_guard<std::mutex> guard(State().lock);
  LogClock previous = State().clock;
  State().clock = clock ? clock : &LocalLogTime;
  return previous;
}

bool LogOpen(const std::filesystem::path& file, std::uintmax_t max_bytes) {
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  CloseLocked(s);
  s.limit = max_bytes;
  s.path = file;
  ReopenLocked(s);
  if (!s.file) s.path.clear();
  return s.file != nullptr;
}

void LogClose() {
  std::lock_guard<std::mutex> guard(State().lock);
  CloseLocked(State());
  State().path.clear();
}

void LogPrint(int level, const char* format, ...) {
  if (level < kMinimumLogLevel || level > Fatal) return;
  LogState& s = State();
  char line[kLogLineSize];
  std::lock_guard<std::mutex> guard(s.lock);
  const LogTime time = s.clock();
  std::va_list args;
  va_start(args, format);
  const std::size_t length = FormatLogLine(line, time, level, format, args);
  va_end(args);
  if (s.path.empty()) return;  // not attached: the line is discarded
  // A reopen that failed (at rotation, or an earlier retry) is tried again with each line.
  if (!s.file) ReopenLocked(s);
  RotateIfFull(s, length + 1);
  if (!s.file) return;
  std::fwrite(line, 1, length, s.file);
  std::fputc('\n', s.file);
  std::fflush(s.file);
  s.size += length + 1;
}

}  // namespace calorix
