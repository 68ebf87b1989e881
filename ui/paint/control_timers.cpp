// ControlTimers: the controls' own timers, multiplexed over the window's WM_TIMER.
#include "ui/paint/control_timers.h"

#include <algorithm>

#include "ui/controls/mcontrol.h"
#include "ui/paint/paint_window.h"

namespace Zentu {

bool TickState::Holds(const MControl& control, const MControl* former_parent) const {
  return ticking &&
         (control.Contains(ticking) || (former_parent && ticking->Contains(former_parent)));
}

ControlTimers::~ControlTimers() {
  for (MControl* control : tick_.doomed) delete control;
}

int ControlTimers::Set(MControl* control, UINT key, UINT period) {
  window_.ui_thread().Check();
  // Without the window the platform would make a thread timer under an id of its own.
  if (control == nullptr || !window_.IsLive()) return 0;
  const HWND hwnd = window_.hwnd();
  for (Record& timer : records_) {
    if (timer.control != control || timer.window != hwnd || timer.key != key) continue;
    if (!timer.killed || !::SetTimer(hwnd, timer.platform_id, period, nullptr)) return 0;
    timer.killed = 0;
    return 1;
  }
  counter_ = (counter_ + 1) % kPlatformIds;
  const UINT id = counter_;
  if (!::SetTimer(hwnd, id, period, nullptr)) return 0;
  records_.push_back({hwnd, key, id, 0, control});
  return 1;
}

int ControlTimers::Kill(MControl* control, UINT key) {
  window_.ui_thread().Check();
  for (Record& timer : records_) {
    if (timer.control != control || timer.window != window_.hwnd() || timer.key != key ||
        timer.killed)
      continue;
    window_.StopTimer(timer.platform_id);
    timer.killed = 1;
    return 1;
  }
  return 0;
}

void ControlTimers::KillAll(MControl* control) {
  window_.ui_thread().Check();
  std::erase_if(records_, [&](const Record& timer) {
    if (timer.control != control || timer.window != window_.hwnd()) return false;
    if (!timer.killed) window_.StopTimer(timer.platform_id);
    return true;
  });
}

void ControlTimers::Clear() {
  window_.ui_thread().Check();
  for (const Record& timer : records_)
    if (timer.window == window_.hwnd() && !timer.killed) window_.StopTimer(timer.platform_id);
  records_.clear();
}

void ControlTimers::Forget(const MControl& leaving) {
  window_.ui_thread().Check();
  std::erase_if(records_, [&](const Record& timer) {
    if (!leaving.Contains(timer.control)) return false;
    if (!timer.killed && ::IsWindow(timer.window)) ::KillTimer(timer.window, timer.platform_id);
    return true;
  });
}

bool ControlTimers::IsDue(const MControl* control, UINT platform_id) const {
  return std::any_of(records_.begin(), records_.end(), [&](const Record& t) {
    return t.control == control && t.platform_id == platform_id && !t.killed;
  });
}

void ControlTimers::Tick(UINT id) {
  window_.ui_thread().Check();
  std::vector<MControl*> due;
  for (const Record& timer : records_)
    if (timer.window == window_.hwnd() && timer.platform_id == id && !timer.killed)
      due.push_back(timer.control);
  for (MControl* control : due) {
    if (!IsDue(control, id)) continue;  // removed, or its timer stopped, by an earlier tick
    MControl* outer = tick_.Enter(control);
    control->OnTimer();
    for (MControl* doomed : tick_.Leave(outer)) delete doomed;
  }
}

bool ControlTimers::DeferIfTicking(MControl* control, const MControl* former_parent) {
  if (!tick_.Holds(*control, former_parent)) return false;
  tick_.doomed.push_back(control);
  return true;
}

}  // namespace Zentu
