// CriticalSection and its scoped lock: the recursive locks of the paint manager's lists.
#pragma once

#include <windows.h>

namespace Zentu {

// Recursive on the owning thread, so a control handler called under a lock may call back
// into the manager. Lives as long as its owner: deleting a lock that a later call could
// still take is never safe.
class CriticalSection {
 public:
  CriticalSection() noexcept { ::InitializeCriticalSection(&section_); }
  ~CriticalSection() { ::DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Lock() noexcept { ::EnterCriticalSection(&section_); }
  void Unlock() noexcept { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

class ScopedLock {
 public:
  explicit ScopedLock(CriticalSection& lock) noexcept : lock_(lock) { lock_.Lock(); }
  ~ScopedLock() { lock_.Unlock(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CriticalSection& lock_;
};

}  // namespace Zentu
