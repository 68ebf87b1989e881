// CThreadBasic: a thread that repeats one step until it is asked to stop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/base/stop_token.h"

namespace calorix {

// How stopping is bounded:
// - Stop returns after at most its wait (1000 ms by default), whatever the step does. It
//   clears the running flag, wakes every pause taken through the stop token and calls the
//   stop hooks (which clear the flags that network read loops poll).
// - The destructor (or Join) waits for the step that is still running. The object, and
//   everything the step uses that is declared before it, outlives the thread in every case.
//   That wait lasts as long as the step's longest piece of work that does not look at the
//   stop token: a pause ends at once, a report write takes milliseconds, and network loops
//   check their running flag after every chunk they read.
class CThreadBasic {
 public:
  static constexpr std::chrono::milliseconds kStopWait{1000};
  static constexpr int kPeriodMs = 16;

  CThreadBasic();
  // Joins the thread. A derived class whose Run uses its own members must call Join in its
  // own destructor: by the time this one runs, those members are gone.
  virtual ~CThreadBasic();
  CThreadBasic(const CThreadBasic&) = delete;
  CThreadBasic& operator=(const CThreadBasic&) = delete;

  // Starts the thread: period 16 ms, repeat on. Refused (false) while running, and while the
  // thread of an earlier run has not ended yet, so that two steps never run at once.
  bool Start();
  // Clears running, asks the current step to end and waits up to `wait` for the thread.
  // Returns whether the thread has ended; if not, Join (or the destructor) waits for it.
  // Called on the worker thread itself it only asks, and returns false.
  bool Stop(std::chrono::milliseconds wait = kStopWait);
  // Waits for the thread of the last run to end; nothing to do when there is none.
  void Join();

  // Called by Stop (on the stopping thread, outside every lock) after the stop request.
  void AddStopHook(std::function<void()> hook);

  bool IsRunning() const { return running_.load() != 0; }
  bool IsFinished() const;

 protected:
  // One step; repeated while running.
  virtual void Run() = 0;
  // The token of the current run; a token that is never stopped before the first Start.
  StopToken GetStopToken() const;
  // The pause after each step: `period` milliseconds, ended early by a stop.
  virtual void Pause(const StopToken& stop, std::chrono::milliseconds period);

 private:
  void ThreadProc(std::shared_ptr<RunState> state);
  void SafeRun();

  std::atomic<int> running_{0};
  // Set by Start and read by nobody: no step runs just once, yet the thread's state names it.
  int repeat_ = 0;
  int period_ms_ = kPeriodMs;
  // Set by Start and read by nobody: the thread's state names it, and no exit code is kept.
  std::uint32_t start_tick_ = 0;
  std::shared_ptr<RunState> state_;  // the current run's; shared with its thread
  std::thread thread_;               // owned: joined by Join, Start or the destructor
  std::mutex hooks_lock_;
  std::vector<std::function<void()>> stop_hooks_;  // guarded by hooks_lock_
};

}  // namespace calorix
