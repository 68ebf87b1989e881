// Paint manager timers under Wine: control timers, the M timer, removal during ticks, the
// overlay's timers and the caret, driven through real WM_TIMER messages.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "tests/win/paint_test_support.h"

namespace paint_test {
namespace {

using Zentu::MControl;
using Zentu::RKTimer;

constexpr UINT kNever = 3600000;  // a period that never elapses during a test

// Counts its ticks and where they ran; may act from inside its own tick.
class Ticker : public MControl {
 public:
  Ticker(Zentu::MObject* parent, unsigned id, CRect rect) : MControl(parent, id, rect, 1, 1, 1) {}
  ~Ticker() override {
    ++deaths;
    if (in_tick_) ++died_inside_a_tick;
  }
  void DrawControl(HDC&, CRect) override {}
  int OnControlTimer() override {
    ++ticks;
    thread = ::GetCurrentThreadId();
    in_tick_ = true;
    if (action) action(this);
    in_tick_ = false;  // a control deleted by its own action would write freed memory here
    return 1;
  }

  std::atomic<int> ticks{0};
  std::atomic<DWORD> thread{0};
  std::function<void(Ticker*)> action;
  static inline std::atomic<int> deaths{0}, died_inside_a_tick{0};

 private:
  std::atomic<bool> in_tick_{false};
};

class Timers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(host_.Open(200, 200, 300, 200, false), nullptr);
    Ticker::deaths = Ticker::died_inside_a_tick = 0;
  }
  Ticker* Add(unsigned id) {
    auto* t = new Ticker(&host_, id, CRect(10, 10, 40, 40));
    t->SetManager(&host_.pm);
    host_.pm.GetControls().push_back(t);
    return t;
  }
  void Tick(UINT id) {
    ::PostMessageW(host_.hwnd(), WM_TIMER, id, 0);
    PumpMessages();
  }
  // Ticks of `t` after a WM_TIMER `id`.
  int TicksAfter(UINT id, const Ticker* t) {
    Tick(id);
    return t->ticks;
  }
  // Dispatches this thread's messages until `done` or the time-out; the value of `probe`
  // after every WM_TIMER `id`.
  std::vector<int> StepsOf(UINT id, const std::function<int()>& probe,
                           const std::function<bool()>& done, DWORD timeout_ms = 10000) {
    std::vector<int> steps;
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (!done() && ::GetTickCount() - start < timeout_ms) {
      if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::Sleep(1);
        continue;
      }
      ::DispatchMessageW(&msg);
      if (msg.message == WM_TIMER && msg.wParam == id) steps.push_back(probe());
    }
    return steps;
  }
  bool TimerRuns(UINT id) { return ::KillTimer(host_.hwnd(), id) != FALSE; }

  HostWindow host_;
  Zentu::PaintManager& pm_ = host_.pm;
};

// Within `tolerance` in each of the red, green and blue bytes (blending rounds).
bool SameColour(uint32_t pixel, uint32_t rgb, int tolerance = 2) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int a = (pixel >> shift) & 0xFF, b = (rgb >> shift) & 0xFF;
    if (a - b > tolerance || b - a > tolerance) return false;
  }
  return true;
}

TEST_F(Timers, ControlTimerIdsCountFrom17AndKilledTimersRestartUnderTheirId) {
  Ticker* a = Add(1);
  Ticker* b = Add(2);
  ASSERT_EQ(pm_.SetTimer(a, 7, kNever), 1);  // platform id 17
  EXPECT_EQ(pm_.SetTimer(a, 7, kNever), 0);  // already running
  EXPECT_EQ(TicksAfter(17, a), 1);
  EXPECT_EQ(TicksAfter(18, a), 1);

  EXPECT_EQ(pm_.KillTimer(a, 7), 1);
  EXPECT_EQ(pm_.KillTimer(a, 7), 0);
  EXPECT_EQ(TicksAfter(17, a), 1);
  EXPECT_EQ(pm_.SetTimer(a, 7, kNever), 1);  // the kept record, id 17 again
  EXPECT_EQ(TicksAfter(17, a), 2);

  // Three adjacent records of a (17, 18, 19) and one of b (20): all of a's go.
  ASSERT_EQ(pm_.SetTimer(a, 8, kNever), 1);
  ASSERT_EQ(pm_.SetTimer(a, 9, kNever), 1);
  ASSERT_EQ(pm_.SetTimer(b, 1, kNever), 1);
  pm_.KillTimer(a);
  for (UINT id : {17u, 18u, 19u}) {
    Tick(id);
    EXPECT_FALSE(TimerRuns(id)) << id;
  }
  EXPECT_EQ(a->ticks, 2);
  EXPECT_EQ(TicksAfter(20, b), 1);
  EXPECT_EQ(pm_.SetTimer(a, 7, kNever), 1);  // a new record: id 21
  EXPECT_EQ(TicksAfter(21, a), 3);

  // Ids 22..239 for 218 more timers; the manager's 224th timer gets id 0.
  for (UINT key = 1000; key < 1218; ++key) ASSERT_EQ(pm_.SetTimer(b, key, kNever), 1);
  Ticker* c = Add(3);
  ASSERT_EQ(pm_.SetTimer(c, 1, kNever), 1);
  EXPECT_EQ(TicksAfter(0, c), 1);
  EXPECT_EQ(b->ticks, 1);
  Zentu::PaintManager windowless;  // the platform would pick a thread timer's id itself
  EXPECT_EQ(windowless.SetTimer(c, 1, kNever), 0);
}

TEST_F(Timers, AControlRemovedInsideItsOwnTickIsDeletedAfterItAndNeverTickedAgain) {
  Ticker* self = Add(1);
  self->action = [this](Ticker* t) { pm_.RemoveControl(t); };
  MControl* box = pm_.CreateControl(&host_, L"CArea", 5, CRect(0, 0, 100, 100), L"", 1, 1);
  auto* child = new Ticker(box, 6, CRect(5, 5, 20, 20));
  box->AddControl(child);
  child->action = [box](Ticker* t) { box->RemoveControl(t); };
  ASSERT_EQ(pm_.SetTimer(self, 1, kNever), 1);   // 17
  ASSERT_EQ(pm_.SetTimer(child, 1, kNever), 1);  // 18
  pm_.AddMTimer(child);

  Tick(17);
  EXPECT_EQ(Ticker::deaths, 1);
  EXPECT_EQ(pm_.GetControls().size(), 1u);  // only the box is left
  EXPECT_FALSE(TimerRuns(17));              // its platform timer went with it
  Tick(17);

  Tick(18);
  EXPECT_EQ(Ticker::deaths, 2);
  EXPECT_TRUE(box->GetControls().empty());
  EXPECT_FALSE(TimerRuns(18));
  EXPECT_EQ(pm_.DeleteFSTimer(child), 0);  // gone from the M timer list as well
  Tick(18);
  EXPECT_EQ(Ticker::died_inside_a_tick, 0);
}

// The M timer ticks on its own thread and asks for repaints while the UI thread replaces
// controls under its control lock. Before the locks were taken one at a time this
// deadlocked (or a tick reached a deleted child); ctest's time-out ends a hung run.
TEST_F(Timers, MTimerTicksAndRepaintsWhileTheUiThreadAddsAndRemovesControls) {
  MControl* box = pm_.CreateControl(&host_, L"CArea", 50, CRect(0, 0, 300, 200), L"", 1, 1);
  std::atomic<int> repaints{0};
  std::vector<Ticker*> children;
  std::vector<MControl*> areas;
  auto spawn_child = [&](unsigned id) {
    auto* c = new Ticker(box, id, CRect(id % 250, 20, id % 250 + 30, 60));
    c->action = [&repaints](Ticker* t) {
      t->UpdateControl(0, 1);  // a repaint request: area and control locks, then invalidate
      ++repaints;
    };
    box->AddControl(c);
    pm_.AddMTimer(c);
    children.push_back(c);
  };
  auto spawn_area = [&](unsigned id) {
    MControl* area = pm_.CreateControl(&host_, L"CArea", id, CRect(0, 100, 50, 150), L"", 1, 1);
    pm_.AddMTimer(area);
    areas.push_back(area);
  };
  unsigned next_id = 100;
  for (int i = 0; i < 8; ++i) spawn_child(next_id++);
  for (int i = 0; i < 4; ++i) spawn_area(next_id++);

  // Runs inside the manager's walk of its control list, from a handler of that walk.
  constexpr UINT kChurn = WM_APP + 9;
  int removed = 0;
  struct Churner : MControl {
    std::function<void()> churn;
    using MControl::MControl;
    void DrawControl(HDC&, CRect) override {}
    long OnWindowMessage(unsigned msg, unsigned, long) override {
      if (msg != kChurn) return 0;
      churn();
      return 1;  // ends the walk at once
    }
  };
  auto* churner = new Churner(&host_, 99, CRect(), 1, 1, 1);
  churner->SetManager(&pm_);
  pm_.GetControls().push_back(churner);
  churner->churn = [&] {
    box->RemoveControl(children.front());
    children.erase(children.begin());
    pm_.RemoveControl(areas.front());
    areas.erase(areas.begin());
    ++removed;
    spawn_child(next_id++);
    spawn_area(next_id++);
  };

  pm_.SetMTimer(1);
  const UINT id = pm_.GetMTimerID();
  ASSERT_NE(id, 0u);
  EXPECT_EQ(RKTimer::GetFSTimer(id), &pm_);
  const DWORD start = ::GetTickCount();
  MSG msg;
  while (::GetTickCount() - start < 2000) {
    ::SendMessageW(host_.hwnd(), kChurn, 0, 0);
    // One message per round: the ticks keep a paint pending all the time.
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  pm_.KillMTimer();
  EXPECT_EQ(RKTimer::GetFSTimer(id), nullptr);
  Ticker* survivor = children.front();
  EXPECT_NE(survivor->thread, ::GetCurrentThreadId());
  const int settled = survivor->ticks;
  EXPECT_GT(settled, 0);
  ::Sleep(50);
  EXPECT_EQ(survivor->ticks, settled);
  EXPECT_GT(removed, 20);
  EXPECT_GT(repaints, 100);
  EXPECT_EQ(Ticker::deaths, removed);  // every removed ticker deleted once, none in a tick
  EXPECT_EQ(Ticker::died_inside_a_tick, 0);
}

// Named application timers get both ticks; the process keeps its timer resolution until the
// last owner that started a timer is gone.
TEST(RKTimerTest, NamedApplicationTimersAndTheProcessResolution) {
  struct Recorder : RKTimer {
    std::atomic<int> plain{0}, named{0};
    void OnMTimer(UINT) override { ++plain; }
    void OnMTimer(UINT, Zentu::CString) override { ++named; }
  };
  auto app = std::make_unique<Recorder>();
  auto quiet = std::make_unique<Recorder>();
  const UINT app_id = app->SetTimer(5, L"blink", 1);
  const UINT quiet_id = quiet->SetTimer(5, L"", 0);
  ASSERT_TRUE(app_id && quiet_id);
  EXPECT_EQ(app->GetTimerName(app_id), Zentu::CString(L"blink"));
  EXPECT_EQ(app->IsAppTimer(app_id) + quiet->IsAppTimer(quiet_id), 1);
  EXPECT_EQ(RKTimer::GetFSTimer(quiet_id), quiet.get());
  ASSERT_TRUE(WaitUntil([&] { return app->named >= 3 && quiet->plain >= 3; }, 10000));
  EXPECT_EQ(quiet->named, 0);

  app.reset();
  EXPECT_TRUE(RKTimer::HoldsPeriod());  // the other owner still ticks
  EXPECT_EQ(quiet->KillTimer(Zentu::CString()), 0);
  EXPECT_EQ(quiet->GetTimerIsRun(quiet_id), 0);
  quiet.reset();
  EXPECT_FALSE(RKTimer::HoldsPeriod());
}

// ---- overlay ----

TEST_F(Timers, AMessageStaysFullyVisibleThenFadesInStepsOfTen) {
  const CRect box(20, 100, 220, 158);
  pm_.SetMessage(L"Saved", box, Zentu::MsgLevelInfo);
  EXPECT_EQ(pm_.GetMessageAlpha(), 255);
  auto inner = [&] { return host_.PaintNow().back().At(box.left + 3, box.bottom - 3) & 0xFFFFFF; };
  EXPECT_EQ(inner(), 0xFEFEFEu);
  ::Sleep(300);
  PumpMessages();
  EXPECT_EQ(pm_.GetMessageAlpha(), 255);  // the hold lasts 3 s

  ::PostMessageW(host_.hwnd(), WM_TIMER, 66, 0);  // the hold ends now
  const auto alpha = [&] { return pm_.GetMessageAlpha(); };
  const std::vector<int> steps = StepsOf(88, alpha, [&] { return alpha() == 0; });
  ASSERT_EQ(steps.size(), 24u);  // 245, 235, ... 25, then 15 is below 20: cleared
  for (size_t i = 0; i + 1 < steps.size(); ++i) EXPECT_EQ(steps[i], 245 - 10 * static_cast<int>(i));
  EXPECT_EQ(steps.back(), 0);
  EXPECT_FALSE(TimerRuns(88));
  EXPECT_NE(inner(), 0xFEFEFEu);  // no longer drawn
}

TEST_F(Timers, ProgressJumpsAnimatesInStepsOfTwoAndFadesAtTheEnd) {
  pm_.SetProgress(0, L"", CRect());  // already the target: nothing happens
  EXPECT_EQ(pm_.GetMessageAlpha(), 0);
  pm_.SetProgress(3, L"Downloading", CRect());
  EXPECT_EQ(pm_.GetProgressShown(), 3);  // less than 6 ahead: at once
  EXPECT_EQ(pm_.GetMessageRect(), CRect(0, 140, 300, 198));

  const auto shown = [&] { return pm_.GetProgressShown(); };
  pm_.SetProgress(50, L"Downloading", CRect());
  EXPECT_EQ(shown(), 3);
  std::vector<int> steps = StepsOf(99, shown, [&] { return shown() == 50; });
  ASSERT_EQ(steps.size(), 24u);  // 5, 7, ... 49, then 50
  for (size_t i = 0; i + 1 < steps.size(); ++i) EXPECT_EQ(steps[i], 5 + 2 * static_cast<int>(i));
  EXPECT_EQ(steps.back(), 50);
  EXPECT_FALSE(TimerRuns(99));

  pm_.SetProgress(100, L"Done", CRect());
  steps = StepsOf(99, shown, [&] { return shown() == 100; });
  EXPECT_EQ(steps.size(), 25u);
  const auto alpha = [&] { return pm_.GetMessageAlpha(); };
  steps = StepsOf(88, alpha, [&] { return alpha() == 0; });
  EXPECT_EQ(steps.size(), 24u);
  EXPECT_EQ(shown(), 0);
}

// ---- caret ----

class Editor : public Zentu::MControlFont {
 public:
  explicit Editor(Zentu::MObject* parent) : MControlFont(parent, 9, CRect(), L"", 1, 1, 1) {}
  void DrawControl(HDC&, CRect) override {}
};

TEST_F(Timers, TheCaretBlinksInvalidatesWhereItWasAndIsDrawnInTheOwnersColour) {
  Editor owner(&host_);
  owner.SetTextColor(Gdiplus::Color(0xFF20A040));
  owner.SetControlFocus(1);
  ::SetForegroundWindow(host_.hwnd());
  ::SetFocus(host_.hwnd());
  ASSERT_EQ(::GetFocus(), host_.hwnd());

  EXPECT_EQ(pm_.CreateCaret(nullptr, 2, 16), 1);
  ASSERT_EQ(pm_.SetCaretPos(&owner, 20, 12), 1);
  EXPECT_EQ(pm_.GetCurrentCaretObject(), &owner);
  ::ValidateRect(host_.hwnd(), nullptr);
  ASSERT_EQ(pm_.SetCaretPos(&owner, 50, 12), 1);
  HRGN dirty = ::CreateRectRgn(0, 0, 0, 0);
  ::GetUpdateRgn(host_.hwnd(), dirty, FALSE);
  EXPECT_TRUE(::PtInRegion(dirty, 21, 27));  // the old rectangle
  EXPECT_TRUE(::PtInRegion(dirty, 51, 12));  // the new one
  EXPECT_FALSE(::PtInRegion(dirty, 35, 20));
  ::DeleteObject(dirty);

  ASSERT_EQ(pm_.ShowCaret(1), 1);
  EXPECT_EQ(pm_.IsCaretLit(), 1);
  EXPECT_EQ(pm_.GetCaretRect(), CRect(50, 12, 52, 28));
  const auto caret_pixel = [&] { return host_.PaintNow().back().At(51, 20); };
  uint32_t lit = caret_pixel();
  EXPECT_TRUE(SameColour(lit, 0x20A040));
  EXPECT_GE(Surface::Alpha(lit), 0xFE);
  Tick(6553);  // a blink
  EXPECT_EQ(pm_.IsCaretLit(), 0);
  EXPECT_FALSE(SameColour(caret_pixel(), 0x20A040));
  Tick(6553);
  EXPECT_TRUE(SameColour(caret_pixel(), 0x20A040));

  owner.SetControlFocus(0);  // the owner lost its focus: the next paint stops the blinking
  caret_pixel();
  EXPECT_EQ(pm_.IsCaretLit(), 0);
  EXPECT_FALSE(TimerRuns(6553));

  // A removed owner is forgotten: the caret never draws with a deleted control's colour.
  auto* listed = new Editor(&host_);
  listed->SetManager(&pm_);
  pm_.GetControls().push_back(listed);
  ASSERT_EQ(pm_.SetCaretPos(listed, 60, 12), 1);
  pm_.RemoveControl(listed);
  EXPECT_EQ(pm_.GetCurrentCaretObject(), nullptr);
  caret_pixel();
}

}  // namespace
}  // namespace paint_test
