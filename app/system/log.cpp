// The log writer: one lock, one store, size-bounded by rotation.
#include "app/system/log.h"

#include <chrono>
#include <ctime>
#include <mutex>

#include "app/system/log_store.h"

namespace calorix {

namespace {

struct LogState {
  std::mutex lock;                  // one line at a time, from any thread
  std::unique_ptr<LogStore> store;  // owned; null while the log is not attached
  std::uintmax_t limit = kDefaultLogLimit;
  LogClock clock = &LocalLogTime;
};

LogState& State() {
  static LogState state;
  return state;
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

bool LogAttach(std::unique_ptr<LogStore> store, std::uintmax_t max_bytes) {
  LogState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.limit = max_bytes;
  s.store = std::move(store);
  if (s.store && !s.store->Open()) s.store.reset();
  return s.store != nullptr;
}

void LogClose() {
  std::lock_guard<std::mutex> guard(State().lock);
  State().store.reset();
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
  if (!s.store) return;  // not attached: the line is discarded
  // A file that could not be opened (at rotation, or an earlier retry) is tried again with
  // each line.
  if (!s.store->IsOpen() && !s.store->Open()) return;
  if (s.store->Size() + length + 1 > s.limit) s.store->Rotate();
  if (!s.store->IsOpen()) return;
  line[length] = '\n';  // in place of the NUL: the line is written in one piece
  s.store->Append(line, length + 1);
}

}  // namespace calorix
