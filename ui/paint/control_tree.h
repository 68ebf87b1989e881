// ControlTree: a window's two ordered control lists, and the deletions that wait for walks.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/core/geometry.h"

namespace Zentu {

class MControl;
class PaintWindow;

// Owns every listed control. The lists are read by the multimedia timer thread too (a tick
// may ask for a repaint), so each change and each look at them is made under one lock; no
// control's handler runs while it is held. Walks that call handlers go over a snapshot and
// skip what has left the list meanwhile. The walk count and the deferred deletions are the
// UI thread's.
class ControlTree {
 public:
  enum Kind : int { kAreas = 0, kControls = 1 };

  explicit ControlTree(const PaintWindow& window);
  ControlTree(const ControlTree&) = delete;
  ControlTree& operator=(const ControlTree&) = delete;
  ~ControlTree();

  // Counts the walks of the lists in progress (they nest when a handler sends a message);
  // the outermost one deletes the controls removed meanwhile.
  class WalkScope {
   public:
    explicit WalkScope(ControlTree& tree);
    ~WalkScope();
    WalkScope(const WalkScope&) = delete;
    WalkScope& operator=(const WalkScope&) = delete;

   private:
    ControlTree& tree_;
  };

  // The lists themselves, for the manager's exported accessors.
  std::vector<MControl*>& areas() { return areas_; }
  std::vector<MControl*>& controls() { return controls_; }

  // Kind 0 areas, 1 controls; any other kind lists it nowhere.
  void Append(int kind, MControl* control);
  // The control list first, then the areas; in each, a control's own id, then its children.
  MControl* Find(UINT id);
  // From the control list only; true when it was there.
  bool Remove(MControl* control);
  // Empties a list; the caller disposes of what it held.
  std::vector<MControl*> Take(int kind);
  std::vector<MControl*> Snapshot(int kind);
  bool IsListed(int kind, const MControl* control);
  // Offers each control of the list, in order, to `visit` until it returns true; the list
  // is the one of when the walk began, less what has left it since. True when one did.
  template <class Visit>
  bool Walk(int kind, Visit visit) {
    for (MControl* control : Snapshot(kind))
      if (IsListed(kind, control) && visit(control)) return true;
    return false;
  }
  // Discards the cached pictures of the visible controls painted after `control` that
  // overlap `rect`; the result is `rect` joined with theirs.
  CRect DiscardAbove(const MControl* control, const CRect& rect, COLORREF back);
  void DiscardAll(COLORREF back);

  // True when a walk is in progress: the control is then deleted when the outermost ends.
  bool DeferIfWalking(MControl* control);
  void DeleteDeferred();

 private:
  std::vector<MControl*>& List(int kind) { return kind == kAreas ? areas_ : controls_; }

  const PaintWindow& window_;
  std::vector<MControl*> areas_;     // owned controls, painted first
  std::vector<MControl*> controls_;  // owned controls, painted after the areas; get input
  CRITICAL_SECTION lock_;            // guards areas_ and controls_
  int walk_depth_ = 0;               // UI thread
  std::vector<MControl*> deferred_;  // owned: removed during a walk; UI thread
};

}  // namespace Zentu
