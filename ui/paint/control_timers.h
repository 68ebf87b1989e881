// ControlTimers: the controls' own timers, multiplexed over the window's WM_TIMER.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/paint/tick_state.h"

namespace Zentu {

class MControl;
class PaintWindow;

// UI thread only (WM_TIMER arrives there), so no lock. Platform ids come from one counter
// per window: 17, 18, ... 239, 0, 1, ...; ids from 240 up are left to the application's own
// window timers. The manager's overlay and caret timers (66, 88, 99, 6553) are dispatched
// before these.
class ControlTimers {
 public:
  explicit ControlTimers(const PaintWindow& window) : window_(window) {}
  ControlTimers(const ControlTimers&) = delete;
  ControlTimers& operator=(const ControlTimers&) = delete;
  ~ControlTimers();

  int Set(MControl* control, UINT key, UINT period);
  int Kill(MControl* control, UINT key);
  void KillAll(MControl* control);
  void Clear();
  // Forgets the timers of the control and of everything inside it.
  void Forget(const MControl& leaving);
  // Ticks every control whose running timer has this platform id.
  void Tick(UINT id);
  // True when `control` is under a tick in progress: it is then deleted when that returns.
  bool DeferIfTicking(MControl* control, const MControl* former_parent);

 private:
  static constexpr UINT kPlatformIds = 240;
  struct Record {
    HWND window;
    UINT key;
    UINT platform_id;
    int killed;
    MControl* control;  // not owned
  };
  bool IsDue(const MControl* control, UINT platform_id) const;

  const PaintWindow& window_;
  UINT counter_ = 4096;  // the last platform id given out; the first is (4096 + 1) % 240
  std::vector<Record> records_;
  TickState tick_;
};

}  // namespace Zentu
