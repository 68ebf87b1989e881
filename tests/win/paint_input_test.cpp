// Paint manager input under Wine: real window messages to a real window reach the controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "tests/win/paint_test_support.h"

namespace paint_test {
namespace {

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

class PaintInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(host_.Open(200, 200, 300, 200, false), nullptr);
    // The pointer rests over the window, so leave tracking behaves as for a user.
    const POINT over = ToScreen(host_.hwnd(), 150, 150);
    ::SetCursorPos(over.x, over.y);
    left_ = Add(1, CRect(10, 10, 60, 60));
    right_ = Add(2, CRect(100, 10, 150, 60));
    SetKeys(false, false, false);
  }
  void TearDown() override {
    SetKeys(false, false, false);
    ::ReleaseCapture();
  }

  RecordingControl* Add(unsigned id, CRect rect) {
    auto* control = new RecordingControl(&host_, id, rect);
    control->SetManager(&host_.pm);
    host_.pm.GetControls().push_back(control);
    return control;
  }
  LRESULT Send(UINT msg, WPARAM wparam, LPARAM lparam) {
    return ::SendMessageW(host_.hwnd(), msg, wparam, lparam);
  }
  // Tab through the message loop's pre-translation, as the modal loop does.
  int PressTab() {
    MSG msg{host_.hwnd(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    return host_.pm.PreTranslateMessage(&msg);
  }

  HostWindow host_;
  RecordingControl* left_ = nullptr;
  RecordingControl* right_ = nullptr;
};

TEST_F(PaintInput, HoverAndPressReachTheControlUnderThePointerAndTakeTheCapture) {
  Send(WM_MOUSEMOVE, 0, At(20, 20));
  EXPECT_EQ(host_.pm.GetHoverControl(), left_);
  EXPECT_EQ(left_->Count("move"), 1);
  Send(WM_MOUSEMOVE, 0, At(110, 20));
  EXPECT_EQ(host_.pm.GetHoverControl(), right_);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(120, 30));
  ASSERT_NE(right_->Last("down"), nullptr);
  EXPECT_EQ(right_->Last("down")->point, CPoint(120, 30));
  EXPECT_EQ(left_->Count("down"), 0);
  EXPECT_EQ(::GetCapture(), host_.hwnd());
  EXPECT_TRUE(host_.pm.IsCaptured());
  EXPECT_EQ(host_.pm.GetFocusControl(), right_);
  EXPECT_EQ(host_.caption_drags, 0);
}

TEST_F(PaintInput, ReleaseOutsideGivesTheUpEventAtTheReleasePointAndEndsHover) {
  Send(WM_MOUSEMOVE, 0, At(20, 20));
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  // While pressed, moves do not change the hover control.
  Send(WM_MOUSEMOVE, MK_LBUTTON, At(120, 20));
  EXPECT_EQ(host_.pm.GetHoverControl(), left_);
  Send(WM_LBUTTONUP, 0, At(200, 150));
  ASSERT_NE(left_->Last("up"), nullptr);
  EXPECT_EQ(left_->Last("up")->point, CPoint(200, 150));
  EXPECT_EQ(right_->Count("up"), 0);
  EXPECT_EQ(host_.pm.GetHoverControl(), nullptr);
  EXPECT_FALSE(host_.pm.IsCaptured());
  EXPECT_NE(::GetCapture(), host_.hwnd());
}

TEST_F(PaintInput, ReleaseInsideKeepsTheHoverControl) {
  Send(WM_MOUSEMOVE, 0, At(20, 20));
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  Send(WM_LBUTTONUP, 0, At(30, 30));
  EXPECT_EQ(host_.pm.GetHoverControl(), left_);
}

TEST_F(PaintInput, TabAndShiftTabWrapAroundCtrlAndAltTabDoNothing) {
  right_->SetTabStop(1);
  auto* third = Add(3, CRect(200, 10, 250, 60));
  third->SetTabStop(1);
  left_->SetTabStop(1);
  EXPECT_EQ(PressTab(), 1);
  EXPECT_EQ(host_.pm.GetFocusControl(), left_);
  EXPECT_EQ(left_->Count("focus"), 1);
  PressTab();
  EXPECT_EQ(host_.pm.GetFocusControl(), right_);
  EXPECT_EQ(left_->Count("blur"), 1);
  PressTab();
  PressTab();  // wraps from the last to the first
  EXPECT_EQ(host_.pm.GetFocusControl(), left_);

  SetKeys(true, false, false);
  EXPECT_EQ(PressTab(), 1);  // backward, wrapping from the first to the last
  EXPECT_EQ(host_.pm.GetFocusControl(), third);
  PressTab();
  EXPECT_EQ(host_.pm.GetFocusControl(), right_);

  SetKeys(false, true, false);
  EXPECT_EQ(PressTab(), 0);
  SetKeys(false, false, true);
  EXPECT_EQ(PressTab(), 0);
  SetKeys(false, true, true);
  EXPECT_EQ(PressTab(), 0);
  EXPECT_EQ(host_.pm.GetFocusControl(), right_);
}

TEST_F(PaintInput, TabSkipsHiddenDisabledAndNonTabStopControls) {
  left_->SetTabStop(1);
  right_->SetTabStop(1);
  right_->SetEnabled(0);
  auto* hidden = Add(3, CRect(200, 10, 250, 60));
  hidden->SetTabStop(1);
  hidden->SetVisible(0);
  Add(4, CRect(0, 100, 50, 150));  // no tab stop
  PressTab();
  EXPECT_EQ(host_.pm.GetFocusControl(), left_);
  EXPECT_EQ(PressTab(), 0);  // the only candidate is already focused
  EXPECT_EQ(host_.pm.GetFocusControl(), left_);
  // Other windows' keys are not this manager's.
  MSG foreign{::GetDesktopWindow(), WM_KEYDOWN, VK_TAB, 0, 0, {}};
  host_.pm.SetFocusControl(nullptr);
  EXPECT_EQ(host_.pm.PreTranslateMessage(&foreign), 0);
  EXPECT_EQ(host_.pm.GetFocusControl(), nullptr);
}

TEST_F(PaintInput, WheelNotchesReachTheHoverControlWithTheirDirection) {
  Send(WM_MOUSEMOVE, 0, At(20, 20));
  const POINT screen = ToScreen(host_.hwnd(), 20, 20);
  const LPARAM where = MAKELPARAM(screen.x, screen.y);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), where);
  EXPECT_EQ(left_->Count("scroll"), 2);
  EXPECT_EQ(left_->scroll_flags, (std::vector<unsigned>{1, 1}));
  ASSERT_NE(left_->Last("scroll"), nullptr);
  EXPECT_EQ(left_->Last("scroll")->point, CPoint(20, 20));  // client coordinates
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 0), where);
  EXPECT_EQ(left_->Count("scroll"), 2);
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), where);
  EXPECT_EQ(left_->scroll_flags.back(), 0u);
  // A notch the hover control leaves alone goes to the first control that takes it.
  left_->take = 0;
  auto* under = Add(3, CRect(0, 0, 80, 80));
  Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), where);
  EXPECT_EQ(under->Count("scroll"), 1);
}

TEST_F(PaintInput, PressOnEmptyAreaDragsTheWindowOnlyWhenEnabled) {
  Send(WM_MOUSEMOVE, 0, At(250, 150));
  EXPECT_EQ(host_.pm.GetHoverControl(), nullptr);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(250, 150));
  EXPECT_EQ(host_.caption_drags, 1);
  host_.pm.EnableWndDrag(0);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(250, 150));
  EXPECT_EQ(host_.caption_drags, 1);
  EXPECT_EQ(left_->Count("down") + right_->Count("down"), 0);
}

TEST_F(PaintInput, MouseLeaveSendsTheHoverControlAMoveToNowhere) {
  Send(WM_MOUSEMOVE, 0, At(20, 20));
  left_->Clear();
  Send(WM_MOUSELEAVE, 0, 0);
  ASSERT_NE(left_->Last("move"), nullptr);
  EXPECT_EQ(left_->Last("move")->point, CPoint(-1, -1));
  EXPECT_EQ(host_.pm.GetHoverControl(), nullptr);
}

TEST_F(PaintInput, MouseLeaveWhilePressedKeepsTheHoverControl) {
  Send(WM_MOUSEMOVE, 0, At(20, 20));
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  left_->Clear();
  Send(WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(left_->Count("move"), 0);
  EXPECT_EQ(host_.pm.GetHoverControl(), left_);
}

TEST_F(PaintInput, DeactivationSendsAMoveOrAReleaseToNowhere) {
  Send(WM_MOUSEMOVE, 0, At(20, 20));
  left_->Clear();
  Send(WM_NCACTIVATE, FALSE, 0);
  ASSERT_NE(left_->Last("move"), nullptr);
  EXPECT_EQ(left_->Last("move")->point, CPoint(-1, -1));
  EXPECT_EQ(host_.pm.GetHoverControl(), nullptr);

  Send(WM_MOUSEMOVE, 0, At(110, 20));
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(110, 20));
  right_->Clear();
  Send(WM_NCACTIVATE, FALSE, 0);
  ASSERT_NE(right_->Last("up"), nullptr);
  EXPECT_EQ(right_->Last("up")->point, CPoint(-1, -1));
  EXPECT_EQ(right_->Count("move"), 0);
  EXPECT_EQ(host_.pm.GetHoverControl(), nullptr);
  EXPECT_FALSE(host_.pm.IsCaptured());
}

TEST_F(PaintInput, KeysGoToTheHoverControlFirst) {
  Send(WM_MOUSEMOVE, 0, At(110, 20));
  Send(WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(right_->Count("key"), 1);
  EXPECT_EQ(left_->Count("key"), 0);
}

TEST_F(PaintInput, DraggingAControlDropsItsPictureOntoTheWindow) {
  // OLE's drag loop sees no button held and drops at once where the pointer is: on this
  // window, whose drop target takes the bitmap and offers it to the window.
  left_->SetDragDrop(1);
  const POINT over = ToScreen(host_.hwnd(), 30, 30);
  ::SetCursorPos(over.x, over.y);
  auto drag = [&] {
    Send(WM_MOUSEMOVE, 0, At(30, 30));
    Send(WM_LBUTTONDOWN, MK_LBUTTON, At(30, 30));
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(31, 31));  // inside the drag threshold: no drag
    EXPECT_EQ(host_.images_offered, 0);
    Send(WM_MOUSEMOVE, MK_LBUTTON, At(45, 45));
  };
  drag();
  EXPECT_EQ(host_.images_offered, 1);
  EXPECT_EQ(host_.last_image.cx, 50);
  EXPECT_EQ(host_.last_image.cy, 50);
  // The drop ended the press with a release over the window.
  EXPECT_EQ(left_->Count("up"), 1);
  EXPECT_FALSE(host_.pm.IsCaptured());

  // A second drag leaves nothing behind: the new picture replaces the old one.
  host_.PaintNow();  // the controls' cached pictures are made by the first paint
  const DWORD gdi_before = CountGdiObjects();
  host_.images_offered = 0;
  drag();
  EXPECT_EQ(host_.images_offered, 1);
  EXPECT_EQ(CountGdiObjects(), gdi_before);
}

TEST_F(PaintInput, WhereControlsOverlapTheOneAddedLaterTakesHoverAndPress) {
  auto* lower = Add(3, CRect(160, 80, 240, 160));
  auto* upper = Add(4, CRect(200, 120, 280, 190));
  Send(WM_MOUSEMOVE, 0, At(220, 140));
  EXPECT_EQ(host_.pm.GetHoverControl(), upper);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, At(220, 140));
  EXPECT_EQ(upper->Count("down"), 1);
  EXPECT_EQ(lower->Count("down"), 0);
  EXPECT_EQ(host_.pm.GetFocusControl(), upper);
  Send(WM_LBUTTONUP, 0, At(220, 140));
}

TEST_F(PaintInput, ADroppedDibIsCheckedAgainstItsBlockBeforeItsPixelsAreRead) {
  auto drop = [&](const BITMAPINFOHEADER& header, SIZE_T block) {
    HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, block);
    std::memcpy(::GlobalLock(global), &header, std::min<SIZE_T>(sizeof(header), block));
    ::GlobalUnlock(global);
    FORMATETC format{CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = global;
    DWORD effect = DROPEFFECT_COPY;
    host_.images_offered = 0;
    if (host_.pm.OnDrop(&format, medium, &effect)) ::ReleaseStgMedium(&medium);
    return host_.images_offered;
  };
  // 3 x 2 pixels of 24 bits: two rows of 12 bytes after the 40-byte header.
  const BITMAPINFOHEADER rgb{sizeof(BITMAPINFOHEADER), 3, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(drop(rgb, 40 + 24), 1);
  EXPECT_EQ(host_.last_image.cx, 3);
  EXPECT_EQ(drop(rgb, 40 + 23), 0);  // a byte of the last row is missing
  EXPECT_EQ(drop(rgb, 16), 0);       // not even a header
  BITMAPINFOHEADER tall = rgb;
  tall.biHeight = -100000;
  EXPECT_EQ(drop(tall, 64), 0);
  BITMAPINFOHEADER palette = rgb;
  palette.biBitCount = 8;
  palette.biClrUsed = 0x40000000;  // a colour table far beyond the block
  EXPECT_EQ(drop(palette, 4096), 0);
}

TEST_F(PaintInput, SizeLimitsApplyOnlyWhenPositive) {
  MINMAXINFO info{};
  info.ptMaxTrackSize = {1111, 2222};
  info.ptMinTrackSize = {3, 4};
  host_.pm.OnWindowMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMaxTrackSize.x, 1111);
  EXPECT_EQ(info.ptMinTrackSize.y, 4);
  host_.pm.SetWindowMaxSize(500, 0);
  host_.pm.SetWindowMixSize(0, 80);
  host_.pm.OnWindowMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMaxTrackSize.x, 500);
  EXPECT_EQ(info.ptMaxSize.x, 500);
  EXPECT_EQ(info.ptMaxTrackSize.y, 2222);
  EXPECT_EQ(info.ptMinTrackSize.x, 3);
  EXPECT_EQ(info.ptMinTrackSize.y, 80);
}

}  // namespace
}  // namespace paint_test

namespace paint_test {
namespace {

using Doomed = Poisoned<RecordingControl>;

// Two controls on top of each other under the pointer, both enabled to pass on the wheel
// and keys.
struct Scene {
  Scene() {
    host.Open(200, 200, 200, 120, false);
    const POINT over = ToScreen(host.hwnd(), 30, 30);
    ::SetCursorPos(over.x, over.y);
    for (Doomed** c : {&first, &second}) *c = Add();
  }
  Doomed* Add(bool in_front = false) {
    auto* c = new Doomed(&host, 1, CRect(10, 10, 60, 60));
    c->SetManager(&host.pm);
    c->take = 0;
    auto& list = host.pm.GetControls();
    list.insert(in_front ? list.begin() : list.end(), c);
    return c;
  }
  void Send(UINT msg, WPARAM wparam = 0, LPARAM lparam = MAKELPARAM(30, 30)) {
    ::SendMessageW(host.hwnd(), msg, wparam, lparam);
  }
  std::function<void(RecordingControl&)> RemoveItself() {
    return [this](RecordingControl& c) { host.pm.RemoveControl(&c); };
  }
  HostWindow host;
  Doomed* first = nullptr;
  Doomed* second = nullptr;
};

TEST(PaintWalks, HandlersMayRemoveControlsWhileTheManagerWalksItsLists) {
  {  // moves: the walk goes on after a removal, and a removed control never takes hover
    Scene s;
    s.first->act = s.RemoveItself();
    s.Send(WM_MOUSEMOVE);
    EXPECT_TRUE(Untouched(s.first));
    EXPECT_EQ(s.second->Count("move"), 1);
    s.first = s.Add(true);
    s.Send(WM_MOUSELEAVE, 0, 0);  // hover is found again by walking the list
    s.second->act = s.RemoveItself();
    s.Send(WM_MOUSEMOVE);
    EXPECT_TRUE(Untouched(s.second));
    EXPECT_EQ(s.host.pm.GetHoverControl(), s.first);
  }
  {  // a child removes itself from its container on a move
    Scene s;
    auto* child = new Doomed(&s.host, 9, CRect(20, 20, 40, 40));
    s.second->AddControl(child);
    child->act = [&](RecordingControl& c) { s.second->RemoveControl(&c); };
    s.Send(WM_MOUSEMOVE);
    EXPECT_TRUE(Untouched(child));
    EXPECT_EQ(s.second->GetMouseChild(), nullptr);
  }
  {  // wheel and keys: the walk goes on to the control after the removed one
    Scene s;
    s.Send(WM_MOUSEMOVE);  // the second is the hover control, asked first
    s.first->act = s.RemoveItself();
    const POINT screen = ToScreen(s.host.hwnd(), 30, 30);
    s.Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(screen.x, screen.y));
    EXPECT_TRUE(Untouched(s.first));
    EXPECT_EQ(s.second->Count("scroll"), 2);
    s.first = s.Add(true);
    s.first->act = s.RemoveItself();
    s.Send(WM_KEYDOWN, 'K', 0);
    EXPECT_TRUE(Untouched(s.first));
    EXPECT_EQ(s.second->Count("key"), 2);
  }
  {  // the message step: the first control clears the list; the second is not asked
    Scene s;
    bool second_asked = false;
    s.first->act = [&](RecordingControl&) { s.host.pm.ClearControls(); };
    s.second->act = [&](RecordingControl&) { second_asked = true; };
    s.Send(kActMessage);
    EXPECT_FALSE(second_asked);
    EXPECT_TRUE(Untouched(s.first));
    EXPECT_TRUE(Untouched(s.second));
  }
  {  // no list lock is held while a handler runs: a repaint request from another thread,
     // as the multimedia timer makes one, goes through before the handler returns
    Scene s;
    DWORD waited = WAIT_FAILED;
    std::thread other;
    s.first->act = [&](RecordingControl& c) {
      const HANDLE requested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
      other = std::thread([&c, requested] {
        c.UpdateControl(0, 1);
        ::SetEvent(requested);
      });
      waited = ::WaitForSingleObject(requested, 5000);
      ::CloseHandle(requested);
    };
    s.Send(kActMessage);
    other.join();
    EXPECT_EQ(waited, WAIT_OBJECT_0);
  }
  {  // painting: the control after the removed one is still drawn
    Scene s;
    s.first->act = s.RemoveItself();
    s.host.PaintNow();
    EXPECT_TRUE(Untouched(s.first));
    EXPECT_EQ(s.second->Count("render"), 1);
  }
}

}  // namespace
}  // namespace paint_test
