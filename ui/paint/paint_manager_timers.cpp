// PaintManager: control timers, the M timer, the message and progress overlay, the caret.
#include "ui/controls/mcontrol.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {

// ---- control timers ----

int PaintManager::SetTimer(MControl* control, UINT key, UINT period) {
  return m_timers.Set(control, key, period);
}

int PaintManager::KillTimer(MControl* control, UINT key) { return m_timers.Kill(control, key); }

void PaintManager::KillTimer(MControl* control) { m_timers.KillAll(control); }

void PaintManager::ClearTimers() { m_timers.Clear(); }

void PaintManager::OnTimer(UINT id) {
  if (m_caret.OnTimer(id) || m_overlay.OnTimer(id)) return;
  m_timers.Tick(id);
}

void PaintManager::DisposeControl(MControl* control, MControl* former_parent) {
  if (control == nullptr) return;
  ForgetControl(control);
  if (m_timers.DeferIfTicking(control, former_parent) ||
      m_mtimerList.DeferIfTicking(control, former_parent))
    return;
  // A walk of the lists (input, painting) may be inside one of its handlers.
  if (!m_tree.DeferIfWalking(control)) delete control;
}

// ---- the M timer ----

void PaintManager::SetMTimer(UINT period) {
  m_mtimerList.SetTimerId(RKTimer::SetTimer(period, CString(), 0));
}

void PaintManager::KillMTimer(UINT id) {
  RKTimer::KillTimer(id);
  if (id == m_mtimerList.timer_id()) m_mtimerList.SetTimerId(0);
}

void PaintManager::KillMTimer() {
  RKTimer::KillTimer();
  m_mtimerList.SetTimerId(0);
}

int PaintManager::AddMTimer(MControl* control) { return m_mtimerList.Add(control); }

int PaintManager::DeleteFSTimer(MControl* control) { return m_mtimerList.Remove(control); }

void PaintManager::OnMTimer(UINT id) { m_mtimerList.Tick(id); }

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
