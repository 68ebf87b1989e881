// RKTimer: periodic multimedia timers whose ticks reach their owner on the timer thread.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/core/cstring.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

// Every RKTimer of the process is listed in one process-wide registry, under one lock that
// also guards each object's timer records; ticks run outside that lock. A tick reaches its
// owner only while the owner is registered and still has the timer, and destroying an
// owner waits for its running ticks, so no tick reaches a dead object. The order of the
// virtual operations is part of the library's binary interface: append, never reorder.
class ZENTU_API RKTimer {
 public:
  RKTimer();
  RKTimer(const RKTimer&) = delete;
  RKTimer& operator=(const RKTimer&) = delete;
  virtual ~RKTimer();

  // Ticks, on the multimedia timer thread: the named form only for application timers.
  virtual void OnMTimer(UINT id, CString name);
  virtual void OnMTimer(UINT id);

  // Starts a periodic timer at the finest resolution the platform offers; its platform
  // id, 0 when the platform refused.
  UINT SetTimer(UINT period, CString name, int app);
  // Stop and forget one timer; how many are left. A tick already running may finish.
  int KillTimer(UINT id);
  int KillTimer(CString name);
  // Stops and forgets every timer, then waits for this object's ticks running on other
  // threads (a tick stopping its own timers does not wait for itself).
  void KillTimer();
  int GetTimerIsRun(UINT id);
  int GetTimerIsRun(CString name);
  CString GetTimerName(UINT id);  // empty when there is no such timer
  int IsAppTimer(UINT id);
  // The owner of a running timer, or null.
  static RKTimer* GetFSTimer(UINT id);
  static void CALLBACK TimerCallProc(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
  // Whether the process holds its timer resolution (timeBeginPeriod) now: from the first
  // timer started until the last RKTimer that started one is destroyed.
  static bool HoldsPeriod();

 private:
  struct Record {
    UINT id;
    CString name;
    int app;
  };
  const Record* Find(UINT id) const;
  // Stops and forgets the first timer `match` accepts; how many are left.
  template <class Match>
  int KillWhere(Match match);

  std::vector<Record> m_timers;  // guarded by the registry lock
  int m_nTicking = 0;            // ticks running now; guarded by the registry lock
  bool m_bHoldsPeriod = false;   // counted among the users of the process's resolution
};

}  // namespace Zentu
