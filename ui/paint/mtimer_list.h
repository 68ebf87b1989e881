// MTimerList: the controls that the M timer ticks on the multimedia timer thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

#include "ui/paint/tick_state.h"

namespace Zentu {

class MControl;

// Shared between the UI thread (adds, removes) and the multimedia timer thread (ticks): the
// list and the tick are guarded by one lock, which no tick holds while a control runs.
// Nothing else of the manager is touched from the timer thread.
class MTimerList {
 public:
  MTimerList();
  MTimerList(const MTimerList&) = delete;
  MTimerList& operator=(const MTimerList&) = delete;
  ~MTimerList();

  // The multimedia timer whose ticks reach the list; 0 for none.
  void SetTimerId(UINT id) { timer_id_ = id; }
  UINT timer_id() const { return timer_id_; }

  int Add(MControl* control);
  // Removes the control's first entry; 1 when it was there.
  int Remove(MControl* control);
  void Clear();
  // Forgets the entries of the control and of everything inside it.
  void Forget(const MControl& leaving);
  // On the timer thread: ticks every listed control when `id` is the list's timer.
  void Tick(UINT id);
  // True when `control` is under a tick in progress: it is then deleted when that returns.
  bool DeferIfTicking(MControl* control, const MControl* former_parent);

 private:
  std::atomic<UINT> timer_id_{0};
  std::vector<MControl*> controls_;  // not owned: members of the manager's lists
  TickState tick_;
  CRITICAL_SECTION lock_;  // guards controls_ and tick_
};

}  // namespace Zentu
