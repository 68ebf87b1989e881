// PaintManager: control timers, the M timer, the message and progress overlay, the caret.
#include <algorithm>

#include "ui/controls/mcontrol.h"
#include "ui/paint/critical_section.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {
namespace {

// The manager's own window timers.
constexpr UINT kHoldTimer = 66;      // how long a message stays fully visible
constexpr UINT kFadeTimer = 88;      // fade-out of the overlay
constexpr UINT kProgressTimer = 99;  // progress bar animation
constexpr UINT kCaretTimer = 6553;   // caret blinking
constexpr UINT kHoldPeriod = 3000;
constexpr UINT kFadePeriod = 50;
constexpr UINT kProgressPeriod = 10;
constexpr UINT kControlTimerIds = 240;  // control timers take ids 0..239 in turn

}  // namespace

// ---- control timers ----

int PaintManager::SetTimer(MControl* control, UINT key, UINT period) {
  // Without the window the platform would make a thread timer under an id of its own.
  if (control == nullptr || !IsLive()) return 0;
  ScopedLock lock(m_controlTimerLock);
  for (ControlTimer& timer : m_controlTimers) {
    if (timer.control != control || timer.window != m_hWnd || timer.key != key) continue;
    if (!timer.killed || !::SetTimer(m_hWnd, timer.platform_id, period, nullptr)) return 0;
    timer.killed = 0;
    return 1;
  }
  m_uControlTimerCounter = (m_uControlTimerCounter + 1) % kControlTimerIds;
  const UINT id = m_uControlTimerCounter;
  if (!::SetTimer(m_hWnd, id, period, nullptr)) return 0;
  m_controlTimers.push_back({m_hWnd, key, id, 0, control});
  return 1;
}

int PaintManager::KillTimer(MControl* control, UINT key) {
  ScopedLock lock(m_controlTimerLock);
  for (ControlTimer& timer : m_controlTimers) {
    if (timer.control != control || timer.window != m_hWnd || timer.key != key || timer.killed)
      continue;
    if (IsLive()) ::KillTimer(m_hWnd, timer.platform_id);
    timer.killed = 1;
    return 1;
  }
  return 0;
}

void PaintManager::KillTimer(MControl* control) {
  ScopedLock lock(m_controlTimerLock);
  std::erase_if(m_controlTimers, [&](const ControlTimer& timer) {
    if (timer.control != control || timer.window != m_hWnd) return false;
    if (!timer.killed && IsLive()) ::KillTimer(m_hWnd, timer.platform_id);
    return true;
  });
}

void PaintManager::ClearTimers() {
  ScopedLock lock(m_controlTimerLock);
  for (const ControlTimer& timer : m_controlTimers)
    if (timer.window == m_hWnd && !timer.killed && IsLive()) ::KillTimer(m_hWnd, timer.platform_id);
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
  if (OnOverlayTimer(id)) return;
  std::vector<MControl*> due;
  {
    ScopedLock lock(m_controlTimerLock);
    for (const ControlTimer& timer : m_controlTimers)
      if (timer.window == m_hWnd && timer.platform_id == id && !timer.killed)
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

void PaintManager::StartWindowTimer(UINT id, UINT period) {
  if (IsLive()) ::SetTimer(m_hWnd, id, period, nullptr);
}

void PaintManager::StopWindowTimer(UINT id) {
  if (IsLive()) ::KillTimer(m_hWnd, id);
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

// ---- message and progress overlay ----

void PaintManager::SetMessage(CString text, CRect rect, MsgLevel level) {
  StopWindowTimer(kHoldTimer);
  StopWindowTimer(kFadeTimer);
  m_nMsgAlpha = 255;
  m_strMessage = text;
  m_nMsgLevel = level;
  m_rcMessage = rect;
  m_nProgressShown = 0;
  InvalidateRect(&m_rcMessage, FALSE);
  StartWindowTimer(kHoldTimer, kHoldPeriod);
}

void PaintManager::SetProgress(int percent, CString text, CRect rect) {
  if (percent == m_nProgressTarget) return;
  if (percent < 5) StopWindowTimer(kFadeTimer);
  m_nMsgAlpha = 255;
  m_strMessage = text;
  m_nProgressTarget = percent;
  if (rect.IsRectEmpty()) {
    const CRect client = GetClientRect();
    rect = CRect(client.left, client.bottom - 60, client.right, client.bottom - 2);
  }
  m_rcMessage = rect;
  if (percent - m_nProgressShown < 6) {
    m_nProgressShown = percent;
    InvalidateRect(&m_rcMessage, FALSE);
    if (m_nProgressShown > 99) StartWindowTimer(kFadeTimer, kFadePeriod);
  } else {
    StartWindowTimer(kProgressTimer, kProgressPeriod);
  }
}

bool PaintManager::OnOverlayTimer(UINT id) {
  switch (id) {
    case kCaretTimer:
      InvalidateRect(&m_rcCaret, FALSE);
      m_bCaretLit = !m_bCaretLit;
      return true;
    case kHoldTimer:
      StopWindowTimer(kHoldTimer);
      StartWindowTimer(kFadeTimer, kFadePeriod);
      return true;
    case kFadeTimer:
      m_nMsgAlpha -= 10;
      if (m_nMsgAlpha < 20) {
        m_nMsgAlpha = 0;
        m_nProgressShown = 0;
        StopWindowTimer(kFadeTimer);
      }
      InvalidateRect(&m_rcMessage, FALSE);
      return true;
    case kProgressTimer:
      // Stops at the target: steps of 2 from an odd start would otherwise overshoot it.
      m_nProgressShown = std::min(m_nProgressShown + 2, std::max(m_nProgressTarget, 0));
      if (m_nProgressShown >= m_nProgressTarget) StopWindowTimer(kProgressTimer);
      InvalidateRect(&m_rcMessage, FALSE);
      if (m_nProgressShown >= 100) StartWindowTimer(kFadeTimer, kFadePeriod);
      return true;
    default:
      return false;
  }
}

// ---- caret ----

int PaintManager::CreateCaret(HBITMAP bitmap, int width, int height) {
  if (IsLive()) ::CreateCaret(m_hWnd, bitmap, width, height);
  m_rcCaret.right = m_rcCaret.left + width;
  m_rcCaret.bottom = m_rcCaret.top + height;
  return 1;
}

int PaintManager::SetCaretPos(MControlFont* owner, int x, int y) {
  if (!::SetCaretPos(x, y)) return 0;
  m_pCaretOwner = owner;
  InvalidateRect(&m_rcCaret, FALSE);
  m_rcCaret = CRect(x, y, x + m_rcCaret.Width(), y + m_rcCaret.Height());
  InvalidateRect(&m_rcCaret, FALSE);
  return 1;
}

int PaintManager::ShowCaret(int show) {
  if ((show != 0) == (m_bCaretShown != 0)) return 1;
  m_bCaretShown = show ? 1 : 0;
  if (show) {
    StartWindowTimer(kCaretTimer, ::GetCaretBlinkTime());
    if (!m_bCaretLit) InvalidateRect(&m_rcCaret, FALSE);
    m_bCaretLit = 1;
  } else {
    StopCaretBlink();
  }
  return 1;
}

void PaintManager::StopCaretBlink() {
  StopWindowTimer(kCaretTimer);
  if (m_bCaretLit) InvalidateRect(&m_rcCaret, FALSE);
  m_bCaretLit = 0;
}

void PaintManager::DrawCaret(HDC dc, const CRect& clip) {
  if (!m_bCaretShown && !m_bCaretLit) return;  // no caret: nothing blinks
  if ((m_pCaretOwner && !m_pCaretOwner->IsFocused()) || !IsLive() || ::GetFocus() != m_hWnd) {
    StopCaretBlink();
    return;
  }
  CRect part;
  if (!m_bCaretLit || !m_bCaretShown || !m_pCaretOwner || !part.IntersectRect(m_rcCaret, clip))
    return;
  Gdiplus::Graphics graphics(dc);
  Gdiplus::SolidBrush brush(
      Gdiplus::Color((m_pCaretOwner->GetTextColor().GetValue() & 0x00FFFFFF) | 0xFE000000));
  graphics.FillRectangle(&brush, part.left, part.top, part.Width(), part.Height());
}

}  // namespace Zentu
