// ControlTree: a window's two ordered control lists, and the deletions that wait for walks.
#include "ui/paint/control_tree.h"

#include <algorithm>

#include "ui/controls/mcontrol.h"
#include "ui/paint/critical_section.h"
#include "ui/paint/paint_math.h"
#include "ui/paint/paint_window.h"

namespace Zentu {

ControlTree::ControlTree(const PaintWindow& window) : window_(window) {
  ::InitializeCriticalSection(&lock_);
}

ControlTree::~ControlTree() {
  DeleteDeferred();
  ::DeleteCriticalSection(&lock_);
}

ControlTree::WalkScope::WalkScope(ControlTree& tree) : tree_(tree) {
  tree_.window_.ui_thread().Check();
  ++tree_.walk_depth_;
}

ControlTree::WalkScope::~WalkScope() {
  if (--tree_.walk_depth_ == 0) tree_.DeleteDeferred();
}

void ControlTree::Append(int kind, MControl* control) {
  if (kind != kAreas && kind != kControls) return;
  ScopedLock guard(lock_);
  List(kind).push_back(control);
}

MControl* ControlTree::Find(UINT id) {
  ScopedLock guard(lock_);
  for (const auto* list : {&controls_, &areas_}) {
    for (MControl* control : *list) {
      if (control->GetControlID() == id) return control;
      if (MControl* child = control->GetControl(id)) return child;
    }
  }
  return nullptr;
}

bool ControlTree::Remove(MControl* control) {
  ScopedLock guard(lock_);
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return false;
  controls_.erase(it);
  return true;
}

std::vector<MControl*> ControlTree::Take(int kind) {
  std::vector<MControl*> taken;
  ScopedLock guard(lock_);
  taken.swap(List(kind));
  return taken;
}

std::vector<MControl*> ControlTree::Snapshot(int kind) {
  ScopedLock guard(lock_);
  return List(kind);
}

bool ControlTree::IsListed(int kind, const MControl* control) {
  ScopedLock guard(lock_);
  const auto& list = List(kind);
  return std::find(list.begin(), list.end(), control) != list.end();
}

CRect ControlTree::DiscardAbove(const MControl* control, const CRect& rect, COLORREF back) {
  CRect dirty = rect;
  bool met = false;
  ScopedLock guard(lock_);
  for (const auto* list : {&areas_, &controls_}) {
    for (MControl* other : *list) {
      if (!met) {
        met = other == control;
        continue;
      }
      if (paint_math::JoinDirty(dirty, rect, other->GetRect(), other->IsVisible() != 0))
        other->SetUpdate(0, back);
    }
  }
  return dirty;
}

// Every cached picture holds a copy of what lay beneath its control when it was made.
void ControlTree::DiscardAll(COLORREF back) {
  ScopedLock guard(lock_);
  for (const auto* list : {&areas_, &controls_})
    for (MControl* control : *list) control->SetUpdate(0, back);
}

bool ControlTree::DeferIfWalking(MControl* control) {
  if (walk_depth_ == 0) return false;
  deferred_.push_back(control);
  return true;
}

void ControlTree::DeleteDeferred() {
  std::vector<MControl*> due;
  due.swap(deferred_);
  for (MControl* control : due) delete control;
}

}  // namespace Zentu
