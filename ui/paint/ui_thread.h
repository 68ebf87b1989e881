// UiThread: the thread that a window's UI-only state belongs to, checked where it is touched.
#pragma once

#include <windows.h>

#include <atomic>

namespace Zentu {

// State that only the window's thread touches checks this instead of taking a lock. The
// check is compiled in with ZENTU_CHECK_UI_THREAD (debug and test builds): a touch from
// another thread (the multimedia timer's, a worker's) then ends the process at the call.
class UiThread {
 public:
  UiThread() noexcept : id_(::GetCurrentThreadId()) {}
  // From now on the window's thread is the UI thread.
  void Bind(HWND window) noexcept {
    if (const DWORD thread = ::GetWindowThreadProcessId(window, nullptr)) id_ = thread;
  }
  bool IsCurrent() const noexcept { return ::GetCurrentThreadId() == id_; }
  void Check() const noexcept {
#ifdef ZENTU_CHECK_UI_THREAD
    if (!IsCurrent()) Misuse();
#endif
  }

 private:
  [[noreturn]] static void Misuse() noexcept;
  std::atomic<DWORD> id_;  // read by any thread that checks
};

}  // namespace Zentu
