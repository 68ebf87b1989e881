// RKTimer: periodic multimedia timers whose ticks reach their owner on the timer thread.
#include "ui/paint/rktimer.h"

#include <mmsystem.h>

#include <algorithm>

#include "ui/paint/critical_section.h"

namespace Zentu {
namespace {

struct Registry {
  CriticalSection lock;
  std::vector<RKTimer*> timers;  // not owned: every live RKTimer
  UINT resolution = 0;           // ms; 0 until the first timer of the process
  int period_users = 0;          // RKTimers that started a timer and still live
};

// Never destroyed: a late tick during process exit must still find a valid lock.
Registry& Timers() {
  static Registry* registry = new Registry;
  return *registry;
}

// Set while this thread runs a tick, so a tick that stops its own timers does not wait for
// itself.
thread_local bool t_inTick = false;

UINT FinestResolution() {
  TIMECAPS caps{};
  if (::timeGetDevCaps(&caps, sizeof(caps)) != TIMERR_NOERROR) return 1;
  return std::min(std::max<UINT>(caps.wPeriodMin, 1), std::max<UINT>(caps.wPeriodMax, 1));
}

}  // namespace

RKTimer::RKTimer() {
  ScopedLock lock(Timers().lock);
  Timers().timers.push_back(this);
}

RKTimer::~RKTimer() {
  KillTimer();
  Registry& registry = Timers();
  ScopedLock lock(registry.lock);
  auto& all = registry.timers;
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  // Released with the last user, not the first: the others still tick at that resolution.
  if (m_bHoldsPeriod && --registry.period_users == 0) ::timeEndPeriod(registry.resolution);
}

void RKTimer::OnMTimer(UINT, CString) {}
void RKTimer::OnMTimer(UINT) {}

UINT RKTimer::SetTimer(UINT period, CString name, int app) {
  Registry& registry = Timers();
  UINT resolution;
  {
    ScopedLock lock(registry.lock);
    if (registry.resolution == 0) registry.resolution = FinestResolution();
    if (!m_bHoldsPeriod) {
      if (registry.period_users++ == 0) ::timeBeginPeriod(registry.resolution);
      m_bHoldsPeriod = true;
    }
    resolution = registry.resolution;
  }
  const UINT id =
      ::timeSetEvent(period, resolution, &RKTimer::TimerCallProc, reinterpret_cast<DWORD_PTR>(this),
                     TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
  if (id == 0) return 0;
  ScopedLock lock(registry.lock);
  m_timers.push_back({id, name, app});
  return id;
}

template <class Match>
int RKTimer::KillWhere(Match match) {
  UINT doomed = 0;
  int left;
  {
    ScopedLock lock(Timers().lock);
    auto it = std::find_if(m_timers.begin(), m_timers.end(), match);
    if (it != m_timers.end()) {
      doomed = it->id;
      m_timers.erase(it);
    }
    left = static_cast<int>(m_timers.size());
  }
  // Outside the lock: the platform may wait for a running callback, which takes it.
  if (doomed) ::timeKillEvent(doomed);
  return left;
}

int RKTimer::KillTimer(UINT id) {
  return KillWhere([id](const Record& r) { return r.id == id; });
}

int RKTimer::KillTimer(CString name) {
  return KillWhere([&name](const Record& r) { return r.name == name; });
}

void RKTimer::KillTimer() {
  Registry& registry = Timers();
  std::vector<Record> doomed;
  {
    ScopedLock lock(registry.lock);
    doomed.swap(m_timers);
  }
  for (const Record& r : doomed) ::timeKillEvent(r.id);
  if (t_inTick) return;
  for (;;) {
    {
      ScopedLock lock(registry.lock);
      if (m_nTicking == 0) return;
    }
    ::Sleep(1);
  }
}

const RKTimer::Record* RKTimer::Find(UINT id) const {
  for (const Record& r : m_timers)
    if (r.id == id) return &r;
  return nullptr;
}

int RKTimer::GetTimerIsRun(UINT id) {
  ScopedLock lock(Timers().lock);
  return Find(id) ? 1 : 0;
}

int RKTimer::GetTimerIsRun(CString name) {
  ScopedLock lock(Timers().lock);
  for (const Record& r : m_timers)
    if (r.name == name) return 1;
  return 0;
}

CString RKTimer::GetTimerName(UINT id) {
  ScopedLock lock(Timers().lock);
  const Record* r = Find(id);
  return r ? r->name : CString();
}

int RKTimer::IsAppTimer(UINT id) {
  ScopedLock lock(Timers().lock);
  const Record* r = Find(id);
  return r ? r->app : 0;
}

RKTimer* RKTimer::GetFSTimer(UINT id) {
  Registry& registry = Timers();
  ScopedLock lock(registry.lock);
  for (RKTimer* timer : registry.timers)
    if (timer->Find(id)) return timer;
  return nullptr;
}

bool RKTimer::HoldsPeriod() {
  ScopedLock lock(Timers().lock);
  return Timers().period_users > 0;
}

void CALLBACK RKTimer::TimerCallProc(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* timer = reinterpret_cast<RKTimer*>(user);
  if (timer == nullptr) return;
  Registry& registry = Timers();
  CString name;
  int app = 0;
  {
    ScopedLock lock(registry.lock);
    // Compared before it is touched: the owner may be gone, or the timer killed meanwhile.
    const auto& all = registry.timers;
    if (std::find(all.begin(), all.end(), timer) == all.end()) return;
    const Record* record = timer->Find(id);
    if (record == nullptr) return;
    name = record->name;
    app = record->app;
    ++timer->m_nTicking;
  }
  t_inTick = true;
  // No exception may unwind into the platform's timer thread.
  try {
    timer->OnMTimer(id);
    if (app) timer->OnMTimer(id, name);
  } catch (...) {
  }
  t_inTick = false;
  ScopedLock lock(registry.lock);
  --timer->m_nTicking;
}

}  // namespace Zentu
