// The lock and condition the worker's pauses and queue wait on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace calorix {

#ifdef _WIN32
// Under Wine a timed wait on the threading library's condition variable costs two round trips
// to wineserver and a yield, and the worker waits several times a second all day. The
// system's slim lock and condition variable wait inside the process (a futex under Wine).
class WaitMutex {
 public:
  void lock() { ::AcquireSRWLockExclusive(&lock_); }
  void unlock() { ::ReleaseSRWLockExclusive(&lock_); }
  SRWLOCK* native() { return &lock_; }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

class WaitCondition {
 public:
  void notify_all() { ::WakeAllConditionVariable(&condition_); }

  // Like std::condition_variable::wait_for with a predicate: whether `done` holds at the end.
  template <class Predicate>
  bool wait_for(std::unique_lock<WaitMutex>& guard, std::chrono::milliseconds timeout,
                Predicate done) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      if (left.count() <= 0) return done();
      ::SleepConditionVariableSRW(&condition_, guard.mutex()->native(),
                                  static_cast<DWORD>(left.count()), 0);
    }
    return true;
  }

 private:
  CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};
#else
using WaitMutex = std::mutex;
using WaitCondition = std::condition_variable;
#endif

}  // namespace calorix
