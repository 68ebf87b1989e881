// The paint pass that reuses its surface, background and text objects, against the same pass
// made from scratch: the same pixels, step after step, in every background mode, and on the
// screen the whole of every pass.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/win/paint_test_support.h"
#include "ui/controls/mpicture.h"
#include "ui/core/manager.h"

namespace paint_test {
namespace {

// One window of a pair, as the main window is made (the skin's pictures, the close button,
// the temperature overlay), with a control drawn by GDI. Both windows get every change
// alike; one paints with its caches, the other makes everything anew in every pass.
struct Scene {
  Scene(int x, bool cached) {
    host.Open(x, 100, 340, 250, true);
    host.pm.EnablePaintCache(cached ? 1 : 0);
    host.pm.EnableDrawInfo(1);
    auto* close = static_cast<Zentu::MPicture*>(
        host.pm.CreateArea(&host, L"MPicture", 31, CRect(295, 25, 313, 42), L"", 1, 1));
    close->SetImage(L"img_btn_close.png", 1);
    // Partly under the temperature text, which must follow what the control shows.
    fill = new RecordingControl(&host, 10, CRect(150, 95, 250, 160), 0x336699);
    fill->SetManager(&host.pm);
    host.pm.GetControls().push_back(fill);
  }
  // One pass, with the pointer over the overlay's outline box or away from the window.
  Surface Paint(bool pointer_in_box) {
    const POINT at = pointer_in_box ? ToScreen(host.hwnd(), 280, 15) : POINT{0, 0};
    ::SetCursorPos(at.x, at.y);
    auto surfaces = host.PaintNow();
    return surfaces.size() == 1 ? surfaces[0] : Surface{};
  }

  HostWindow host;
  RecordingControl* fill = nullptr;  // not owned: the manager's
};

struct Step {
  std::string name;
  std::function<void(Scene&)> change;
  bool pointer_in_box = false;
  bool changes_pixels = true;  // the surface differs from the step before
};

int DifferentPixels(const Surface& a, const Surface& b) {
  if (a.width != b.width || a.height != b.height) return -1;
  int differing = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) differing += a.pixels[i] != b.pixels[i];
  return differing;
}

// Pixels of the window's place on the screen, read back through the X server, whose colour
// is not the surface's: without a compositor the server shows the colour bytes as they are.
int OffScreenPixels(const Surface& surface, HWND window) {
  RECT at;
  ::GetWindowRect(window, &at);
  Surface screen;
  screen.width = at.right - at.left;
  screen.height = at.bottom - at.top;
  if (screen.width != surface.width || screen.height != surface.height) return -1;
  screen.pixels.resize(surface.pixels.size());
  HDC desktop = ::GetDC(nullptr);
  HDC copy = ::CreateCompatibleDC(desktop);
  HBITMAP bitmap = ::CreateCompatibleBitmap(desktop, screen.width, screen.height);
  HGDIOBJ old = ::SelectObject(copy, bitmap);
  ::BitBlt(copy, 0, 0, screen.width, screen.height, desktop, at.left, at.top, SRCCOPY);
  ::SelectObject(copy, old);
  BITMAPINFO info{};
  info.bmiHeader = {
      sizeof(BITMAPINFOHEADER), screen.width, -screen.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  ::GetDIBits(copy, bitmap, 0, screen.height, screen.pixels.data(), &info, DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(copy);
  ::ReleaseDC(nullptr, desktop);
  int differing = 0;
  for (size_t i = 0; i < surface.pixels.size(); ++i)
    differing += (surface.pixels[i] & 0xFFFFFF) != (screen.pixels[i] & 0xFFFFFF);
  return differing;
}

class PaintCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { Zentu::Manager::SetCPUTemp(47.9f); }
  void TearDown() override {
    ::SetCursorPos(0, 0);
    Zentu::Manager::SetCPUTemp(0.0f);
  }

  // Runs `setup`, then the common steps around `background_changes`, on a cached and an
  // uncached scene and compares their surfaces after every step. The cached window is handed
  // only what changed since its last pass (or nothing): the screen must show it all.
  void Compare(const std::function<void(Scene&)>& setup,
               const std::vector<Step>& background_changes) {
    std::vector<Step> steps = {
        {"first pass", setup},
        {"value change", [](Scene&) { Zentu::Manager::SetCPUTemp(52.4f); }},
        {"nothing changed", [](Scene&) {}, false, false},
        {"value shown before", [](Scene&) { Zentu::Manager::SetCPUTemp(47.9f); }},
        {"pointer over the box", [](Scene&) {}, true},
        {"control repainted",
         [](Scene& s) {
           s.fill->fill = 0x99CC33;
           s.host.pm.OnControlUpdate(s.fill->GetRect(), 1, s.fill);
         }},
    };
    steps.insert(steps.end(), background_changes.begin(), background_changes.end());
    steps.push_back({"hidden, then shown with a new value", [](Scene& s) {
                       ::ShowWindow(s.host.hwnd(), SW_HIDE);
                       Zentu::Manager::SetCPUTemp(104.0f);
                       ::ShowWindow(s.host.hwnd(), SW_SHOWNOACTIVATE);
                     }});
    steps.push_back({"resize", [](Scene& s) {
                       ::SetWindowPos(s.host.hwnd(), nullptr, 0, 0, 300, 220,
                                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
                     }});
    steps.push_back({"value after the resize", [](Scene&) { Zentu::Manager::SetCPUTemp(61.0f); }});
    // Last: the message starts its fade-out timers, which run on their own in each window.
    steps.push_back({"message overlay", [](Scene& s) {
                       s.host.pm.SetMessage(L"Saved", CRect(20, 120, 240, 170),
                                            Zentu::MsgLevelInfo);
                     }});

    Scene cached(100, true), fresh(500, false);
    Surface before;
    for (const Step& step : steps) {
      SCOPED_TRACE(step.name);
      step.change(cached);
      step.change(fresh);
      const Surface kept = cached.Paint(step.pointer_in_box);
      const Surface made = fresh.Paint(step.pointer_in_box);
      ASSERT_GT(kept.width, 0);
      EXPECT_EQ(DifferentPixels(kept, made), 0);
      if (step.changes_pixels) {
        EXPECT_NE(DifferentPixels(kept, before), 0);
      }
      before = kept;
      int off_screen = -1;  // the X server shows the picture shortly after it is handed over
      WaitUntil([&] { return (off_screen = OffScreenPixels(kept, cached.host.hwnd())) == 0; },
                3000);
      EXPECT_EQ(off_screen, 0);
    }
    EXPECT_EQ(before.width, 300);
  }
};

TEST_F(PaintCacheTest, StretchedImage) {
  Compare([](Scene& s) { s.host.pm.LoadBKImage(L"img_cpu_bkg5.png"); },
          {{"other image", [](Scene& s) { s.host.pm.LoadBKImage(L"img_cpu_bkg6.png"); }}});
}

TEST_F(PaintCacheTest, NineGridImage) {
  Compare(
      [](Scene& s) {
        s.host.pm.LoadBKImage(L"img_tip_bk.png");
        s.host.pm.SetBackMode(Zentu::BackModeFrame, 6);
      },
      {{"other corner", [](Scene& s) { s.host.pm.SetBackMode(Zentu::BackModeFrame, 9); }},
       {"other image", [](Scene& s) { s.host.pm.LoadBKImage(L"img_cpu_bkg6.png"); }}});
}

TEST_F(PaintCacheTest, ColoursWithoutAnImage) {
  Compare([](Scene& s) { s.host.pm.SetBackColor(0x203040, 0x10E0F0); },
          {{"other colours", [](Scene& s) { s.host.pm.SetBackColor(0x604020, 0x2020FF); }}});
}

TEST_F(PaintCacheTest, OtherModeDrawsNoBackground) {
  Compare(
      [](Scene& s) {
        s.host.pm.LoadBKImage(L"img_cpu_bkg5.png");
        s.host.pm.SetBackMode(2);
      },
      {{"other image", [](Scene& s) { s.host.pm.LoadBKImage(L"img_cpu_bkg6.png"); }, false, false},
       {"stretched after all", [](Scene& s) { s.host.pm.SetBackMode(Zentu::BackModeStretch); }}});
}

}  // namespace
}  // namespace paint_test
