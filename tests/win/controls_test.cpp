// The control base: interface order, state setters, input routing, children, drawing, fonts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "tests/win/paint_test_support.h"
#include "ui/controls/mcontrol.h"
#include "ui/core/manager.h"
#include "ui/paint/paint_manager.h"

namespace Zentu {
namespace {

struct Request {
  CRect rect;
  int flag;
  MControl* control;
};
struct Event {
  unsigned id, code, wparam;
  long lparam;
  CPoint point;  // *lparam for event 3
};

// Stands in for the dialog: records what controls send up, optionally hands repaint
// requests to a paint manager as a dialog does.
class RecordingParent : public MObject {
 public:
  std::vector<Request> requests;
  std::vector<Event> events;
  PaintManager* manager = nullptr;
  long OnControlUpdate(CRect rect, int flag, MControl* control) override {
    requests.push_back({rect, flag, control});
    return manager ? manager->OnControlUpdate(rect, flag, control) : 0;
  }
  long OnBaseMessage(unsigned id, unsigned code, unsigned wparam, long lparam) override {
    Event e{id, code, wparam, lparam, {}};
    if (code == kControlEventDblClk) e.point = *reinterpret_cast<CPoint*>(lparam);
    events.push_back(e);
    return 0;
  }
};

// Counts every handler call and the point it saw.
class Probe : public MControl {
 public:
  static inline int destroyed = 0;
  int draws = 0, downs = 0, ups = 0, moves = 0, dblclks = 0, rdowns = 0, keys = 0;
  int take_move = 0;
  int shift_y = 0;  // OnMousePointChange adds it, as a scrolled container would
  CPoint last;
  Probe(MObject* parent, unsigned id, CRect rect) : MControl(parent, id, rect, 1, 1, 1) {}
  ~Probe() override { ++destroyed; }
  void DrawControl(HDC&, CRect) override { ++draws; }
  int OnMousePointChange(CPoint& p) override { return p.y += shift_y, 0; }
  int OnControlLButtonDown(unsigned, CPoint p) override { return last = p, ++downs, 1; }
  int OnControlLButtonUp(unsigned, CPoint p) override { return last = p, ++ups, 1; }
  int OnControlLButtonDblClk(unsigned, CPoint p) override { return last = p, ++dblclks, 1; }
  int OnControlRButtonDown(unsigned, CPoint p) override { return last = p, ++rdowns, 1; }
  int OnControlMouseMove(unsigned, CPoint p) override { return last = p, ++moves, take_move; }
  int OnControlKeyDown(unsigned k, unsigned r, unsigned f) override {
    ++keys;
    return MControl::OnControlKeyDown(k, r, f);
  }
};

class FontProbe : public MControlFont {
 public:
  FontProbe(MObject* parent, unsigned id, CRect rect)
      : MControlFont(parent, id, rect, L"title", 1, 1, 1) {}
  void DrawControl(HDC&, CRect) override {}
};

// A 32-bit top-down DIB section in a memory DC, read back pixel by pixel.
class Surface {
 public:
  Surface(int w, int h) : width_(w) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    dc_ = ::CreateCompatibleDC(nullptr);
    bitmap_ =
        ::CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = ::SelectObject(dc_, bitmap_);
  }
  ~Surface() {
    ::SelectObject(dc_, old_);
    ::DeleteObject(bitmap_);
    ::DeleteDC(dc_);
  }
  HDC& dc() { return dc_; }
  uint32_t Rgb(int x, int y) const {  // 0x00RRGGBB
    ::GdiFlush();
    return bits_[y * width_ + x] & 0xFFFFFF;
  }
  void Fill(COLORREF c) {
    RECT r{0, 0, width_, 1000};
    HBRUSH b = ::CreateSolidBrush(c);
    ::FillRect(dc_, &r, b);
    ::DeleteObject(b);
  }

 private:
  int width_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

// Fills are drawn at alpha 254, so a channel may differ by one from the pure colour.
::testing::AssertionResult Near(uint32_t actual, uint32_t expected) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
    if (a - e > 2 || e - a > 2)
      return ::testing::AssertionFailure() << std::hex << actual << " is not near " << expected;
  }
  return ::testing::AssertionSuccess();
}

class Controls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Manager::InitGdiplus(); }
  RecordingParent parent;
};

using paint_test::Slot;

class SlotView : public MControlFont {
 public:
  using MControlFont::GetControlTitle;
  using MControlFont::SetControlTitle;
};

TEST_F(Controls, VirtualOperationsKeepTheInterfaceOrder) {
  const long base = Slot(&MObject::OnControlUpdate);
  const long slots[] = {
      Slot(&MControl::InitControl),
      Slot(&MControl::OnScroll),
      Slot(&MControl::PtInRect),
      Slot(&MControl::DrawControl),
      Slot(&MControl::DrawSubControls),
      Slot(&MControl::IsDraw),
      Slot(&MControl::SetUpdate),
      Slot(&MControl::SetControlFocus),
      Slot(&MControl::InitUI),
      Slot(&MControl::OnMousePointChange),
      Slot(&MControl::OnCheckMouseResponse),
      Slot(&MControl::OnWindowMessage),
      Slot(&MControl::OnMessage),
      Slot(&MControl::SetControlRect),
      Slot(&MControl::SetControlVisible),
      Slot(&MControl::SetControlWndVisible),
      Slot(&MControl::SetControlEnabled),
      Slot(&MControl::OnControlTimer),
      Slot(&MControl::GetControlDropBitmap),
      Slot(&MControl::OnControlMouseMove),
      Slot(&MControl::OnControlSetCursor),
      Slot(&MControl::OnControlLButtonDown),
      Slot(&MControl::OnControlLButtonUp),
      Slot(&MControl::OnControlLButtonDblClk),
      Slot(&MControl::OnControlScroll),
      Slot(&MControl::OnControlRButtonDown),
      Slot(&MControl::OnControlRButtonUp),
      Slot(&MControl::OnControlRButtonDblClk),
      Slot(&MControl::OnControlKeyDown),
      Slot(&MControl::OnPositionChange),
      Slot(&MControl::InvalidateRect),
      Slot(&MControlFont::SetTextFont),
      Slot(&MControlFont::SetTextColor),
      Slot(static_cast<int (MControlFont::*)(unsigned, CString, int)>(&MControlFont::SetImage)),
      Slot(static_cast<int (MControlFont::*)(const wchar_t*, int)>(&MControlFont::SetImage)),
      Slot(&SlotView::SetControlTitle),
      Slot(&SlotView::GetControlTitle)};
  for (size_t i = 0; i < std::size(slots); ++i) EXPECT_EQ(slots[i], base + 1 + long(i)) << i;
}

TEST_F(Controls, SettersRequestRepaintsOnlyForRealChanges) {
  Probe c(&parent, 5, CRect(0, 0, 10, 10));
  c.SetRect(CRect(20, 0, 30, 10));
  ASSERT_EQ(parent.requests.size(), 1u);
  EXPECT_EQ(parent.requests[0].rect, CRect(0, 0, 30, 10));  // old and new place
  EXPECT_EQ(parent.requests[0].flag, 1);
  EXPECT_EQ(parent.requests[0].control, &c);

  c.SetVisible(0);  // hiding repaints the place it leaves
  ASSERT_EQ(parent.requests.size(), 2u);
  EXPECT_EQ(parent.requests[1].rect, CRect(20, 0, 30, 10));
  EXPECT_EQ(c.PtInRect(CPoint(25, 5)), 0);
  EXPECT_EQ(c.OnLButtonDown(0, CPoint(25, 5)), 0);
  Surface s(40, 20);
  c.Draw(s.dc(), CRect(0, 0, 40, 20));
  EXPECT_EQ(c.draws, 0);

  c.SetVisible(0);           // unchanged: nothing at all
  c.SetRect(40, 5, 10, 10);  // invisible: stored, nothing to repaint
  EXPECT_EQ(c.GetRect(), CRect(40, 5, 50, 15));
  c.SetVisible(1, 0);  // shown without a request
  EXPECT_EQ(parent.requests.size(), 2u);
  c.Draw(s.dc(), CRect(0, 0, 40, 20));  // outside the clip: skipped
  c.Draw(s.dc(), CRect(0, 0, 45, 20));
  EXPECT_EQ(c.draws, 1);
}

TEST_F(Controls, MovesKeepGoingToTheChildThatTookThePress) {
  Probe root(&parent, 10, CRect(0, 0, 100, 100));
  auto* child = new Probe(nullptr, 11, CRect(10, 10, 30, 30));
  root.AddControl(child);
  EXPECT_EQ(child->GetParantObject(), &root);

  EXPECT_EQ(root.OnLButtonDown(0, CPoint(15, 15)), 1);
  EXPECT_EQ(child->downs, 1);
  EXPECT_EQ(root.downs, 0);
  root.OnMouseMove(0, CPoint(80, 80));
  root.OnMouseMove(0, CPoint(150, 150));  // even outside the root
  EXPECT_EQ(child->moves, 2);
  EXPECT_EQ(child->last, CPoint(150, 150));
  EXPECT_EQ(root.moves, 0);
  root.OnLButtonUp(0, CPoint(80, 80));
  EXPECT_EQ(child->ups, 1);

  root.OnMouseMove(0, CPoint(80, 80));  // released: the move is the root's own now
  EXPECT_EQ(child->moves, 3);           // offered to the children, outside this one
  EXPECT_EQ(root.moves, 1);
  EXPECT_EQ(root.GetMouseChild(), nullptr);
  child->take_move = 1;
  root.OnMouseMove(0, CPoint(20, 20));
  EXPECT_EQ(root.GetMouseChild(), child);
}

TEST_F(Controls, PressOnBareAreaGoesToTheControlAndTakesFocus) {
  PaintManager manager;
  Probe root(&parent, 10, CRect(0, 0, 100, 100));
  Probe other(&parent, 12, CRect(200, 0, 300, 100));
  root.SetManager(&manager);
  other.SetManager(&manager);
  auto* child = new Probe(nullptr, 11, CRect(10, 10, 30, 30));
  child->SetEnabled(0);  // a disabled child does not take presses
  root.AddControl(child);
  manager.SetFocusControl(&other);
  ASSERT_EQ(other.IsFocused(), 1);

  EXPECT_EQ(root.OnLButtonDown(0, CPoint(15, 15)), 1);
  EXPECT_EQ(root.downs, 1);
  EXPECT_EQ(child->downs, 0);
  EXPECT_EQ(manager.GetFocusControl(), &root);
  EXPECT_EQ(root.IsFocusControl(), 1);
  EXPECT_EQ(root.IsFocused(), 1);
  EXPECT_EQ(other.IsFocused(), 0);
  manager.SetFocusControl(nullptr);
}

TEST_F(Controls, DoubleClickIsASecondPressUnlessTheControlWantsDoubleClicks) {
  Probe c(&parent, 7, CRect(0, 0, 50, 50));
  c.OnLButtonDown(0, CPoint(5, 5));
  c.OnLButtonUp(0, CPoint(5, 5));
  c.OnLButtonDblClk(0, CPoint(5, 5));
  EXPECT_EQ(c.downs, 2);
  EXPECT_EQ(c.dblclks, 0);
  c.OnRButtonDblClk(0, CPoint(5, 5));
  EXPECT_EQ(c.rdowns, 1);
  EXPECT_TRUE(parent.events.empty());

  c.SetDblClk(1);
  c.SetNotifyDblClk(1);
  c.OnLButtonDblClk(MK_LBUTTON, CPoint(6, 7));
  EXPECT_EQ(c.downs, 2);
  EXPECT_EQ(c.dblclks, 1);
  ASSERT_EQ(parent.events.size(), 1u);
  EXPECT_EQ(parent.events[0].id, 7u);
  EXPECT_EQ(parent.events[0].code, 3u);
  EXPECT_EQ(parent.events[0].wparam, unsigned(MK_LBUTTON));
  EXPECT_EQ(parent.events[0].point, CPoint(6, 7));

  // Through a parent: the child's double click becomes its press.
  Probe root(&parent, 1000, CRect(0, 0, 100, 100));
  auto* child = new Probe(nullptr, 11, CRect(10, 10, 30, 30));
  root.AddControl(child);
  root.OnLButtonDown(0, CPoint(15, 15));
  root.OnLButtonUp(0, CPoint(15, 15));
  root.OnLButtonDblClk(0, CPoint(15, 15));
  EXPECT_EQ(child->downs, 2);
}

TEST_F(Controls, ScrollBarChildrenSeeThePointBeforeTranslation) {
  Probe root(&parent, 10, CRect(0, 0, 100, 100));
  root.shift_y = 100;  // content scrolled by 100
  auto* bar = new Probe(nullptr, 1, CRect(90, 0, 100, 100));
  auto* item = new Probe(nullptr, 20, CRect(0, 100, 50, 200));
  root.AddControl(bar);
  root.AddControl(item);
  root.OnLButtonDown(0, CPoint(10, 5));
  EXPECT_EQ(item->downs, 1);
  EXPECT_EQ(item->last, CPoint(10, 105));
  root.OnLButtonUp(0, CPoint(10, 5));
  root.OnLButtonDown(0, CPoint(95, 5));
  EXPECT_EQ(bar->downs, 1);
  EXPECT_EQ(bar->last, CPoint(95, 5));
  root.OnLButtonUp(0, CPoint(95, 5));
}

TEST_F(Controls, KeysGoDownTheFocusChainAndAreReported) {
  Probe root(&parent, 10, CRect(0, 0, 100, 100));
  root.SetNotifyKeys(1);
  auto* a = new Probe(nullptr, 11, CRect(0, 0, 10, 10));
  auto* b = new Probe(nullptr, 12, CRect(0, 0, 10, 10));
  root.AddControl(a);
  root.AddControl(b);
  EXPECT_EQ(root.OnKeyDown('X', 1, 0), 0);  // offered to all, taken by none: still reported
  EXPECT_EQ(a->keys + b->keys, 2);
  ASSERT_EQ(parent.events.size(), 1u);
  EXPECT_EQ(parent.events[0].code, 14u);
  EXPECT_EQ(parent.events[0].wparam, unsigned('X'));

  b->SetControlFocus(1);
  b->SetHotKey('Y', 17);
  EXPECT_EQ(root.OnKeyDown('Y', 1, 17), 1);  // to the focused child only
  EXPECT_EQ(root.keys + a->keys, 2);
  EXPECT_EQ(root.OnKeyDown('Y', 1, 16), 0);  // the hot key needs its modifiers
  root.SetControlFocus(0);                   // clears the whole chain
  EXPECT_EQ(b->IsFocused(), 0);
}

TEST_F(Controls, ChildrenAreFoundDepthFirstAndRemovedWithTheirFocus) {
  PaintManager manager;
  auto* root = new Probe(&parent, 10, CRect(0, 0, 100, 100));
  root->SetManager(&manager);
  auto* a = new Probe(nullptr, 11, CRect());
  auto* deep = new Probe(nullptr, 30, CRect());
  auto* b = new Probe(nullptr, 30, CRect());
  auto* under = new Probe(nullptr, 40, CRect());
  a->AddControl(deep);
  root->AddControl(a);
  root->AddControl(b);
  root->AddUnderControl(under);
  EXPECT_EQ(deep->GetManager(), &manager);
  EXPECT_EQ(root->GetControl(30), deep);  // inside the first child before the second child
  EXPECT_EQ(root->GetControl(40), under);
  EXPECT_EQ(root->GetControl(99), nullptr);

  manager.SetFocusControl(deep);
  Probe::destroyed = 0;
  Probe stranger(&parent, 50, CRect());
  EXPECT_EQ(root->RemoveControl(&stranger), 0);  // not ours: left alone
  EXPECT_EQ(Probe::destroyed, 0);
  root->RemoveControl(a);
  EXPECT_EQ(Probe::destroyed, 2);
  EXPECT_EQ(manager.GetFocusControl(), nullptr);
  EXPECT_EQ(root->GetControl(30), b);
  delete root;
  EXPECT_EQ(Probe::destroyed, 5);
}

TEST_F(Controls, RemovingAContainerFromTheManagerForgetsItsFocusedChild) {
  PaintManager manager;
  MControl* area = manager.CreateControl(&parent, L"CArea", 20, CRect(0, 0, 50, 50), L"", 0, 0);
  ASSERT_NE(area, nullptr);
  auto* child = new Probe(nullptr, 21, CRect(0, 0, 10, 10));
  area->AddControl(child);
  manager.SetFocusControl(child);
  Probe::destroyed = 0;
  manager.RemoveControl(area);
  EXPECT_EQ(Probe::destroyed, 1);
  EXPECT_EQ(manager.GetFocusControl(), nullptr);  // not left pointing at the deleted child
}

// ---------------------------------------------------------------- drawing

TEST_F(Controls, AreaFillsFramesAndKeepsItsPictureUntilDiscarded) {
  Surface s(40, 40);
  s.Fill(RGB(0, 0, 0));
  CArea area(&parent, 1, CRect(10, 10, 30, 30), 1, 1);
  area.SetTransparent(0, 0, RGB(200, 0, 0));
  area.Draw(s.dc(), CRect(0, 0, 40, 40));
  EXPECT_TRUE(Near(s.Rgb(10, 10), 0xC80000));
  EXPECT_TRUE(Near(s.Rgb(29, 29), 0xC80000));
  EXPECT_EQ(s.Rgb(30, 30), 0u);
  EXPECT_EQ(area.GetUpdate(), 1);

  // A request alone does not redraw: the cached picture is copied as it is.
  area.SetFrame(1, Gdiplus::Color(0xFF00FF00), 0);
  area.Draw(s.dc(), CRect(0, 0, 40, 40));
  EXPECT_TRUE(Near(s.Rgb(10, 10), 0xC80000));
  area.SetUpdate(0, 0);
  area.Draw(s.dc(), CRect(0, 0, 40, 40));
  EXPECT_TRUE(Near(s.Rgb(10, 10), 0x00FF00));  // frame
  EXPECT_TRUE(Near(s.Rgb(29, 20), 0x00FF00));
  EXPECT_TRUE(Near(s.Rgb(11, 11), 0xC80000));  // inside the frame
}

TEST_F(Controls, UnderLayersLieBelowAndChildrenAbove) {
  Surface s(40, 40);
  s.Fill(RGB(0, 0, 0));
  CArea root(&parent, 1, CRect(0, 0, 40, 40), 1, 1);
  root.SetTransparent(0, 0, RGB(255, 0, 0));
  auto* under = new CArea(nullptr, 2, CRect(0, 0, 20, 20), 1, 1);
  under->SetTransparent(0, 0, RGB(0, 255, 0));
  auto* child = new CArea(nullptr, 3, CRect(20, 20, 40, 40), 1, 1);
  child->SetTransparent(0, 0, RGB(0, 0, 255));
  auto* hidden = new CArea(nullptr, 4, CRect(0, 20, 20, 40), 0, 1);
  root.AddUnderControl(under);
  root.AddControl(child);
  root.AddControl(hidden);
  root.Draw(s.dc(), CRect(0, 0, 40, 40));
  EXPECT_TRUE(Near(s.Rgb(5, 5), 0xFF0000));    // the root covers its under-layer
  EXPECT_TRUE(Near(s.Rgb(30, 30), 0x0000FF));  // the child covers the root
  EXPECT_TRUE(Near(s.Rgb(5, 30), 0xFF0000));   // the hidden child is not drawn
}

TEST_F(Controls, AreaTransitionFadesFromStartToEnd) {
  Surface s(10, 50);
  s.Fill(RGB(0, 0, 0));
  CArea area(&parent, 1, CRect(0, 0, 10, 50), 1, 1);
  area.SetTransparent(100, 0, RGB(0, 0, 250));  // fully transparent at the top
  area.Draw(s.dc(), CRect(0, 0, 10, 50));
  const uint32_t top = s.Rgb(5, 0) & 0xFF, middle = s.Rgb(5, 25) & 0xFF,
                 bottom = s.Rgb(5, 49) & 0xFF;
  EXPECT_LT(top, 20u);
  EXPECT_GT(middle, top);
  EXPECT_GT(bottom, middle);
  EXPECT_GT(bottom, 230u);
  EXPECT_LE(s.Rgb(5, 49) & 0xFFFF00, 0x000300u);  // only the fill colour fades in
}

TEST_F(Controls, MemoryPictureIsRebuiltOnlyWhenTheSizeChanges) {
  Surface s(10, 10);
  Probe c(&parent, 1, CRect(0, 0, 10, 10));
  c.UpdateMemDC(s.dc(), 8, 8);
  EXPECT_EQ(c.GetUpdate(), 1);
  ASSERT_NE(c.GetMemDC(), nullptr);
  ::SetPixel(c.GetMemDC(), 3, 3, RGB(1, 2, 3));
  c.UpdateMemDC(s.dc(), 8, 8);
  EXPECT_EQ(::GetPixel(c.GetMemDC(), 3, 3), RGB(1, 2, 3));
  c.UpdateMemDC(s.dc(), 9, 8);
  EXPECT_EQ(::GetPixel(c.GetMemDC(), 3, 3), RGB(0, 0, 0));
  ::SetPixel(c.GetMemDC(), 3, 3, RGB(1, 2, 3));
  c.UpdateAnimateDC(s.dc(), 9, 8);  // the second picture is its own
  EXPECT_EQ(::GetPixel(c.GetMemDC(), 3, 3), RGB(1, 2, 3));
}

// ---------------------------------------------------------------- repaint requests

// A live window with an initialised paint manager; the window outlives the manager.
struct LiveManager {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
  std::unique_ptr<PaintManager> manager = std::make_unique<PaintManager>();
  LiveManager() { manager->Init(window, nullptr); }
  ~LiveManager() {
    manager.reset();
    ::DestroyWindow(window);
  }
};

void MarkAllDrawn(std::initializer_list<MControl*> controls) {
  for (MControl* c : controls) c->SetUpdate(1, 0);
}

TEST_F(Controls, ARequestDiscardsTheControlsAboveButNotBelow) {
  LiveManager live;
  ASSERT_NE(live.window, nullptr);
  parent.manager = live.manager.get();
  PaintManager& pm = *live.manager;
  MControl* lower = pm.CreateControl(&parent, L"CArea", 1, CRect(0, 0, 50, 50), L"", 1, 1);
  MControl* upper = pm.CreateControl(&parent, L"CArea", 2, CRect(25, 25, 75, 75), L"", 1, 1);
  MControl* apart = pm.CreateControl(&parent, L"CArea", 3, CRect(80, 80, 90, 90), L"", 1, 1);
  ASSERT_TRUE(lower && upper && apart);

  MarkAllDrawn({lower, upper, apart});
  lower->UpdateControl(1, 0);
  EXPECT_EQ(lower->GetUpdate(), 0);
  EXPECT_EQ(upper->GetUpdate(), 0);
  EXPECT_EQ(apart->GetUpdate(), 1);

  MarkAllDrawn({lower, upper, apart});
  upper->UpdateControl(1, 0);
  EXPECT_EQ(upper->GetUpdate(), 0);
  EXPECT_EQ(lower->GetUpdate(), 1);
}

TEST_F(Controls, AChildsRequestReachesTheManagerThroughItsContainer) {
  LiveManager live;
  parent.manager = live.manager.get();
  PaintManager& pm = *live.manager;
  MControl* box = pm.CreateControl(&parent, L"CArea", 1, CRect(0, 0, 100, 100), L"", 1, 1);
  MControl* over = pm.CreateControl(&parent, L"CArea", 2, CRect(60, 60, 70, 70), L"", 1, 1);
  auto* first = new CArea(nullptr, 10, CRect(0, 0, 50, 50), 1, 1);
  auto* second = new CArea(nullptr, 11, CRect(40, 40, 65, 65), 1, 1);
  box->AddControl(first);
  box->AddControl(second);

  MarkAllDrawn({box, over, first, second});
  first->UpdateControl(1, 0);
  EXPECT_EQ(first->GetUpdate(), 0);
  EXPECT_EQ(second->GetUpdate(), 0);  // the later sibling over it
  EXPECT_EQ(box->GetUpdate(), 1);     // the container's own picture is kept
  EXPECT_EQ(over->GetUpdate(), 0);    // the grown rect reaches the control above
  ASSERT_FALSE(parent.requests.empty());
  EXPECT_EQ(parent.requests.back().control, box);
  EXPECT_EQ(parent.requests.back().rect, CRect(0, 0, 65, 65));

  MarkAllDrawn({box, over, first, second});
  second->UpdateControl(1, 0);
  EXPECT_EQ(first->GetUpdate(), 1);
  EXPECT_EQ(over->GetUpdate(), 0);

  // The container's own request takes the children painted over it along.
  MarkAllDrawn({box, over, first, second});
  box->UpdateControl(1, 0);
  EXPECT_EQ(first->GetUpdate() + second->GetUpdate(), 0);
}

// ---------------------------------------------------------------- MControlFont

TEST_F(Controls, NewFontControlIsWhiteLeftCentredInTheLibraryFont) {
  FontProbe f(&parent, 1, CRect(0, 0, 50, 20));
  Gdiplus::Color brush;
  static_cast<Gdiplus::SolidBrush*>(f.GetTextBrush())->GetColor(&brush);
  EXPECT_EQ(brush.GetValue(), 0xFFFFFFFFu);
  EXPECT_STREQ(f.GetFontName(), Manager::GetFontName());
  unsigned h = 9, v = 9;
  f.GetAlignment(h, v);
  EXPECT_EQ(h * 10 + v, 4u);  // left, centred
  f.SetAlignment(0, 4);       // unchanged: no request
  EXPECT_TRUE(parent.requests.empty());

  HFONT font = f.GetGDIFont();
  EXPECT_EQ(f.GetGDIFont(), font);  // cached
  LOGFONTW lf{};
  ASSERT_TRUE(::GetObjectW(font, sizeof(lf), &lf));
  EXPECT_EQ(lf.lfHeight, -14);
  EXPECT_LT(lf.lfWeight, FW_BOLD);

  // The GDI font takes the library's face, not the control's own name, and a valid weight.
  f.SetFont(L"Some Other Face", 20,
            Gdiplus::FontStyle(Gdiplus::FontStyleBold | Gdiplus::FontStyleItalic |
                               Gdiplus::FontStyleUnderline));
  ASSERT_TRUE(::GetObjectW(f.GetGDIFont(), sizeof(lf), &lf));
  EXPECT_STREQ(lf.lfFaceName, Manager::GetFontName());
  EXPECT_EQ(lf.lfHeight, -20);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_TRUE(lf.lfItalic && lf.lfUnderline);
  EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
}

TEST_F(Controls, SetImageTakesTheManagersSharedRecord) {
  // A 40 x 10 strip of 4 frames; the folder outlives the manager that holds it open.
  paint_test::TempSkinFolder skins;
  const std::wstring strip = skins.WritePng(L"strip.png", 40, 10, [](int, int) { return 0u; });
  const std::wstring missing = skins.Name(L"missing.png");
  FontProbe f(&parent, 1, CRect(0, 0, 50, 20));
  EXPECT_EQ(f.SetImage(strip.c_str(), 4), 0);  // no manager
  PaintManager manager;
  f.SetManager(&manager);
  FontProbe g(&parent, 2, CRect(0, 0, 50, 20));
  g.SetManager(&manager);

  EXPECT_EQ(f.SetImage(missing.c_str(), 4), 0);
  EXPECT_EQ(f.GetImage(), nullptr);
  const size_t before = parent.requests.size();
  EXPECT_EQ(f.SetImage(strip.c_str(), 4), 1);
  EXPECT_EQ(parent.requests.size(), before + 1);
  unsigned w = 0, h = 0;
  f.GetImageSize(w, h);
  EXPECT_EQ(w, 10u);
  EXPECT_EQ(h, 10u);
  EXPECT_EQ(f.GetImageCount(), 4);

  EXPECT_EQ(g.SetImage(strip.c_str(), 2), 1);  // the 4-frame record again
  EXPECT_EQ(g.GetImage(), f.GetImage());
  g.GetImageSize(w, h);
  EXPECT_EQ(w, 10u);
  EXPECT_EQ(g.GetImageCount(), 4);
  EXPECT_EQ(g.SetImage(missing.c_str(), 4), 0);  // keeps what it had
  EXPECT_EQ(g.GetImage(), f.GetImage());
}

}  // namespace
}  // namespace Zentu
