// ScopedLock: holds one of the library's list locks (platform critical sections) for a scope.
#pragma once

#include <windows.h>

#include <initializer_list>

namespace Zentu {

// The sections are recursive on the owning thread, so a control handler called under a lock
// may call back into the manager. A section lives as long as its owner: deleting one that a
// later call could still take is never safe.
class ScopedLock {
 public:
  explicit ScopedLock(CRITICAL_SECTION& section) noexcept : section_(section) {
    ::EnterCriticalSection(&section_);
  }
  ~ScopedLock() { ::LeaveCriticalSection(&section_); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

// A section of its own, for state kept inside the library's sources.
class CriticalSection {
 public:
  CriticalSection() noexcept { ::InitializeCriticalSection(&section_); }
  ~CriticalSection() { ::DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;
  operator CRITICAL_SECTION&() noexcept { return section_; }

 private:
  CRITICAL_SECTION section_;
};

// For the constructors and destructors of the objects that own the sections.
inline void InitializeLocks(std::initializer_list<CRITICAL_SECTION*> sections) noexcept {
  for (CRITICAL_SECTION* section : sections) ::InitializeCriticalSection(section);
}
inline void DeleteLocks(std::initializer_list<CRITICAL_SECTION*> sections) noexcept {
  for (CRITICAL_SECTION* section : sections) ::DeleteCriticalSection(section);
}

}  // namespace Zentu
