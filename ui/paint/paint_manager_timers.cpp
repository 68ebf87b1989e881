// PaintManager: control timers, the M timer, the message and progress overlay, the caret.
#include <algorithm>

#include "ui/controls/mcontrol.h"
#include "ui/paint/critical_section.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {
namespace {

constexpr UINT kControlTimerIds = 240;  // control timers take ids 0..239 in turn

}  // namespace

// ---- control timers ----

int PaintManager::SetTimer(MControl* control, UINT key, UINT period) {
  // Without the window the platform would make a thread timer under an id of its own.
  if (control == nullptr || !IsLive()) return 0;
  ScopedLock lock(m_controlTimerLock);
  for (ControlTimer& timer : m_controlTimers) {
    if (timer.control != control || timer.window != m_window.hwnd() || timer.key != key) continue;
    if (!timer.killed || !::SetTimer(m_window.hwnd(), timer.platform_id, period, nullptr)) return 0;
    timer.killed = 0;
    return 1;
  }
  m_uControlTimerCounter = (m_uControlTimerCounter + 1) % kControlTimerIds;
  const UINT id = m_uControlTimerCounter;
  if (!::SetTimer(m_window.hwnd(), id, period, nullptr)) return 0;
  m_controlTimers.push_back({m_window.hwnd(), key, id, 0, control});
  return 1;
}

int PaintManager::KillTimer(MControl* control, UINT key) {
  ScopedLock lock(m_controlTimerLock);
  for (ControlTimer& timer : m_controlTimers) {
    if (timer.control != control || timer.window != m_window.hwnd() || timer.key != key ||
        timer.killed)
      continue;
    if (IsLive()) ::KillTimer(m_window.hwnd(), timer.platform_id);
    timer.killed = 1;
    return 1;
  }
  return 0;
}

void PaintManager::KillTimer(MControl* control) {
  ScopedLock lock(m_controlTimerLock);
  std::erase_if(m_controlTimers, [&](const ControlTimer& timer) {
    if (timer.control != control || timer.window != m_window.hwnd()) return false;
    if (!timer.killed && IsLive()) ::KillTimer(m_window.hwnd(), timer.platform_id);
    return true;
  });
}

void PaintManager::ClearTimers() {
  ScopedLock lock(m_controlTimerLock);
  for (const ControlTimer& timer : m_controlTimers)
    if (timer.window == m_window.hwnd() && !timer.killed && IsLive())
      ::KillTimer(m_window.hwnd(), timer.platform_id);
  m_controlTimers.clear();
}

void PaintManager::ForgetTimers(MControl* control) {
  {
    ScopedLock lock(m_controlTimerLock);
    std::erase_if(m_controlTimers, [&](const ControlTimer& timer) {
      if (!control->Contains(timer.control)) return false;
      if (!timer.killed && ::IsWindow(timer.window)) ::KillTimer(timer.window, timer.platform_id);
      return true;
    });
  }
  ScopedLock lock(m_mtimerLock);
  std::erase_if(m_mtimers, [control](MControl* c) { return control->Contains(c); });
}

// Ticks outside every list lock: a tick may ask for a repaint, which takes the area and
// control locks, and the UI thread takes a timer lock while it holds the control lock.
template <class StillDue>
void PaintManager::TickControl(MControl* control, CRITICAL_SECTION& lock, TickState& state,
                               StillDue due) {
  MControl* outer;
  {
    ScopedLock guard(lock);
    if (!due()) return;  // removed, or its timer stopped, by an earlier tick
    outer = state.ticking;
    state.ticking = control;
  }
  control->OnTimer();
  std::vector<MControl*> doomed;
  {
    ScopedLock guard(lock);
    state.ticking = outer;
    if (outer == nullptr) doomed.swap(state.doomed);
  }
  for (MControl* c : doomed) delete c;
}

void PaintManager::DisposeControl(MControl* control, MControl* former_parent) {
  if (control == nullptr) return;
  ForgetControl(control);
  auto busy = [&](const TickState& state) {
    const MControl* t = state.ticking;
    return t && (control->Contains(t) || (former_parent && t->Contains(former_parent)));
  };
  for (auto [lock, state] :
       {std::pair{&m_controlTimerLock, &m_timerTick}, std::pair{&m_mtimerLock, &m_mTick}}) {
    ScopedLock guard(*lock);
    if (busy(*state)) {
      state->doomed.push_back(control);
      return;
    }
  }
  // A walk of the lists (input, painting) may be inside one of its handlers.
  if (m_nWalkDepth > 0) {
    ScopedLock guard(m_controlLock);
    m_doomed.push_back(control);
    return;
  }
  delete control;
}

void PaintManager::OnTimer(UINT id) {
  if (m_caret.OnTimer(id) || m_overlay.OnTimer(id)) return;
  std::vector<MControl*> due;
  {
    ScopedLock lock(m_controlTimerLock);
    for (const ControlTimer& timer : m_controlTimers)
      if (timer.window == m_window.hwnd() && timer.platform_id == id && !timer.killed)
        due.push_back(timer.control);
  }
  for (MControl* control : due) {
    TickControl(control, m_controlTimerLock, m_timerTick, [&] {
      return std::any_of(m_controlTimers.begin(), m_controlTimers.end(),
                         [&](const ControlTimer& t) {
                           return t.control == control && t.platform_id == id && !t.killed;
                         });
    });
  }
}

// ---- the M timer ----

void PaintManager::SetMTimer(UINT period) { m_uMTimerID = RKTimer::SetTimer(period, CString(), 0); }

void PaintManager::KillMTimer(UINT id) {
  RKTimer::KillTimer(id);
  if (id == m_uMTimerID) m_uMTimerID = 0;
}

void PaintManager::KillMTimer() {
  RKTimer::KillTimer();
  m_uMTimerID = 0;
}

int PaintManager::AddMTimer(MControl* control) {
  ScopedLock lock(m_mtimerLock);
  m_mtimers.push_back(control);
  return 1;
}

int PaintManager::DeleteFSTimer(MControl* control) {
  ScopedLock lock(m_mtimerLock);
  auto it = std::find(m_mtimers.begin(), m_mtimers.end(), control);
  if (it == m_mtimers.end()) return 0;
  m_mtimers.erase(it);
  return 1;
}

void PaintManager::OnMTimer(UINT id) {
  if (id == 0 || id != m_uMTimerID) return;
  std::vector<MControl*> snapshot;
  {
    ScopedLock lock(m_mtimerLock);
    snapshot = m_mtimers;
  }
  for (MControl* control : snapshot) {
    TickControl(control, m_mtimerLock, m_mTick, [&] {
      return std::find(m_mtimers.begin(), m_mtimers.end(), control) != m_mtimers.end();
    });
  }
}

// ---- message and progress overlay, caret ----

void PaintManager::SetMessage(CString text, CRect rect, MsgLevel level) {
  m_overlay.SetMessage(text, rect, level);
}

void PaintManager::SetProgress(int percent, CString text, CRect rect) {
  m_overlay.SetProgress(percent, text, rect);
}

int PaintManager::CreateCaret(HBITMAP bitmap, int width, int height) {
  return m_caret.Create(bitmap, width, height);
}

int PaintManager::SetCaretPos(MControlFont* owner, int x, int y) {
  return m_caret.SetPos(owner, x, y);
}

int PaintManager::ShowCaret(int show) { return m_caret.Show(show); }

void PaintManager::DrawCaret(HDC dc, const CRect& clip) { m_caret.Draw(dc, clip); }

}  // namespace Zentu
