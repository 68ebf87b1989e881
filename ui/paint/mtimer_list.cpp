// MTimerList: the controls that the M timer ticks on the multimedia timer thread.
#include "ui/paint/mtimer_list.h"

#include <algorithm>

#include "ui/controls/mcontrol.h"
#include "ui/paint/critical_section.h"

namespace Zentu {

MTimerList::MTimerList() { ::InitializeCriticalSection(&lock_); }

MTimerList::~MTimerList() {
  for (MControl* control : tick_.doomed) delete control;
  ::DeleteCriticalSection(&lock_);
}

int MTimerList::Add(MControl* control) {
  ScopedLock guard(lock_);
  controls_.push_back(control);
  return 1;
}

int MTimerList::Remove(MControl* control) {
  ScopedLock guard(lock_);
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return 0;
  controls_.erase(it);
  return 1;
}

void MTimerList::Clear() {
  ScopedLock guard(lock_);
  controls_.clear();
}

void MTimerList::Forget(const MControl& leaving) {
  ScopedLock guard(lock_);
  std::erase_if(controls_, [&](MControl* c) { return leaving.Contains(c); });
}

void MTimerList::Tick(UINT id) {
  if (id == 0 || id != timer_id_) return;
  std::vector<MControl*> snapshot;
  {
    ScopedLock guard(lock_);
    snapshot = controls_;
  }
  // Each tick runs outside the lock: a control may ask for a repaint from its tick.
  for (MControl* control : snapshot) {
    MControl* outer;
    {
      ScopedLock guard(lock_);
      // Removed by the UI thread, or by an earlier tick, since the snapshot.
      if (std::find(controls_.begin(), controls_.end(), control) == controls_.end()) continue;
      outer = tick_.Enter(control);
    }
    control->OnTimer();
    std::vector<MControl*> doomed;
    {
      ScopedLock guard(lock_);
      doomed = tick_.Leave(outer);
    }
    for (MControl* c : doomed) delete c;
  }
}

bool MTimerList::DeferIfTicking(MControl* control, const MControl* former_parent) {
  ScopedLock guard(lock_);
  if (!tick_.Holds(*control, former_parent)) return false;
  tick_.doomed.push_back(control);
  return true;
}

}  // namespace Zentu
