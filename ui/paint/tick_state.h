// TickState: the control a timer is ticking, and the removed controls that wait for it.
#pragma once

#include <vector>

namespace Zentu {

class MControl;

// A control removed while a tick runs inside it (or inside what held it) is deleted when
// that tick returns, never under it.
struct TickState {
  MControl* ticking = nullptr;    // not owned
  std::vector<MControl*> doomed;  // owned: deleted when the outermost tick returns

  // Marks `control` as ticking; the result goes back to Leave.
  MControl* Enter(MControl* control) {
    MControl* outer = ticking;
    ticking = control;
    return outer;
  }
  // The controls to delete now: those doomed meanwhile, once the outermost tick is done.
  std::vector<MControl*> Leave(MControl* outer) {
    ticking = outer;
    std::vector<MControl*> due;
    if (outer == nullptr) due.swap(doomed);
    return due;
  }
  // Whether `control` (which has just left `former_parent`, or a list) is under the tick.
  bool Holds(const MControl& control, const MControl* former_parent) const;
};

}  // namespace Zentu
