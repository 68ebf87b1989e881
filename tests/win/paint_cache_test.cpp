// The paint pass that reuses its surface, background and text objects, against the same pass
// made from scratch: the same pixels, step after step, in every background mode; and the
// screen shows every pass whole, although the window is handed only what changed.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/win/paint_test_support.h"
#include "ui/controls/mpicture.h"
#include "ui/core/manager.h"

namespace paint_test {
namespace {

constexpr int kWidth = 340, kHeight = 250;

// Two half-transparent pictures with fully transparent corners, unlike each other.
uint32_t PictureA(int x, int y) {
  if ((x < 3 || x > 60) && (y < 3 || y > 44)) return 0;
  return (0x80u + static_cast<uint32_t>(y) * 2) << 24 | static_cast<uint32_t>(x) * 4 << 16 |
         0x3000u | static_cast<uint32_t>(y) * 5;
}
uint32_t PictureB(int x, int y) { return x < 2 ? 0u : 0xFF000000u | (0xFFFFFFu - PictureA(x, y)); }

// One window of a pair. Both get every change alike; one paints with its caches, the other
// makes everything anew in every pass.
struct Scene {
  Scene(int x, bool cached, const std::wstring& close_image) {
    host.Open(x, 100, kWidth, kHeight, true);
    host.pm.EnablePaintCache(cached ? 1 : 0);
    host.pm.EnableDrawInfo(1);
    // The main window's close button picture, and two controls drawn with GDI.
    auto* close = static_cast<Zentu::MPicture*>(
        host.pm.CreateArea(&host, L"MPicture", 31, CRect(295, 25, 313, 42), L"", 1, 1));
    close->SetImage(close_image.c_str(), 1);
    fill = new RecordingControl(&host, 10, CRect(20, 180, 120, 230), 0x336699);
    auto* text = new TextControl(&host, CRect(150, 180, 280, 230), L"47 C");
    for (Zentu::MControl* c : std::initializer_list<Zentu::MControl*>{fill, text}) {
      c->SetManager(&host.pm);
      host.pm.GetControls().push_back(c);
    }
  }

  // One pass with the pointer over the outline box of the overlay or away from the window.
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
  bool changes_pixels = true;  // the step's surface differs from the one before
};

int DifferentPixels(const Surface& a, const Surface& b) {
  if (a.width != b.width || a.height != b.height) return -1;
  int differing = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) differing += a.pixels[i] != b.pixels[i];
  return differing;
}

class PaintCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    picture_a_ = skins_.WritePng(L"back_a.png", 64, 48, PictureA);
    picture_b_ = skins_.WritePng(L"back_b.png", 64, 48, PictureB);
    close_ = skins_.WritePng(L"close.png", 18, 17,
                             [](int x, int y) { return (x + y) % 5 ? 0xC0E04020u : 0x40FFFFFFu; });
    Zentu::Manager::SetCPUTemp(47.9f);
  }
  void TearDown() override {
    ::SetCursorPos(0, 0);
    Zentu::Manager::SetCPUTemp(0.0f);
  }

  // Runs `setup`, then the common steps around `background_changes`, on a cached and an
  // uncached scene, and compares their surfaces after every step.
  void Compare(const std::function<void(Scene&)>& setup,
               const std::vector<Step>& background_changes) {
    std::vector<Step> steps = {
        {"first pass", setup},
        {"value change", [](Scene&) { Zentu::Manager::SetCPUTemp(52.4f); }},
        {"nothing changed", [](Scene&) {}, false, false},
        {"pointer over the box", [](Scene&) {}, true},
        {"control repainted",
         [](Scene& s) {
           s.fill->fill = 0x99CC33;
           s.host.pm.OnControlUpdate(s.fill->GetRect(), 1, s.fill);
         }},
    };
    steps.insert(steps.end(), background_changes.begin(), background_changes.end());
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

    Scene cached(100, true, close_), fresh(500, false, close_);
    ASSERT_TRUE(cached.host.pm.IsPaintCache());
    ASSERT_FALSE(fresh.host.pm.IsPaintCache());
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
    }
    EXPECT_EQ(before.width, 300);
    EXPECT_EQ(before.height, 220);
  }

  TempSkinFolder skins_;
  std::wstring picture_a_, picture_b_, close_;
};

TEST_F(PaintCacheTest, StretchedImage) {
  Compare(
      [this](Scene& s) {
        s.host.pm.LoadBKImage(picture_a_.c_str());
        s.host.pm.SetBackMode(Zentu::BackModeStretch);
      },
      {{"other image", [this](Scene& s) { s.host.pm.LoadBKImage(picture_b_.c_str()); }}});
}

TEST_F(PaintCacheTest, NineGridImage) {
  Compare(
      [this](Scene& s) {
        s.host.pm.LoadBKImage(picture_a_.c_str());
        s.host.pm.SetBackMode(Zentu::BackModeFrame, 6);
      },
      {{"other corner", [](Scene& s) { s.host.pm.SetBackMode(Zentu::BackModeFrame, 12); }},
       {"other image", [this](Scene& s) { s.host.pm.LoadBKImage(picture_b_.c_str()); }}});
}

TEST_F(PaintCacheTest, ColoursWithoutAnImage) {
  Compare([](Scene& s) { s.host.pm.SetBackColor(0x203040, 0x10E0F0); },
          {{"other colours", [](Scene& s) { s.host.pm.SetBackColor(0x604020, 0x2020FF); }}});
}

TEST_F(PaintCacheTest, OtherModeDrawsNoBackground) {
  Compare(
      [this](Scene& s) {
        s.host.pm.LoadBKImage(picture_a_.c_str());
        s.host.pm.SetBackMode(2);
      },
      {{"other image", [this](Scene& s) { s.host.pm.LoadBKImage(picture_b_.c_str()); }, false,
        false},
       {"stretched after all", [](Scene& s) { s.host.pm.SetBackMode(Zentu::BackModeStretch); }}});
}

// The window is handed only what changed since the last pass, or nothing: what the screen
// shows must still be the whole of every pass, through shows and hides.
Surface ScreenOf(HWND window) {
  RECT at;
  ::GetWindowRect(window, &at);
  Surface shot;
  shot.width = at.right - at.left;
  shot.height = at.bottom - at.top;
  shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;  // top-down, as Surface holds its rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC screen = ::GetDC(nullptr);
  HDC copy = ::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(copy, dib);
  ::BitBlt(copy, 0, 0, shot.width, shot.height, screen, at.left, at.top, SRCCOPY);
  ::GdiFlush();
  std::memcpy(shot.pixels.data(), bits, shot.pixels.size() * sizeof(uint32_t));
  ::SelectObject(copy, old);
  ::DeleteObject(dib);
  ::DeleteDC(copy);
  ::ReleaseDC(nullptr, screen);
  return shot;
}

// Pixels whose colour on the screen is not the surface's (premultiplied) colour.
int OffScreenPixels(const Surface& surface, const Surface& screen) {
  if (surface.width != screen.width || surface.height != screen.height) return -1;
  int differing = 0;
  for (size_t i = 0; i < surface.pixels.size(); ++i)
    differing += (surface.pixels[i] & 0xFFFFFF) != (screen.pixels[i] & 0xFFFFFF);
  return differing;
}

TEST_F(PaintCacheTest, TheScreenShowsEveryPassWhole) {
  Scene scene(100, true, close_);
  scene.host.pm.SetBackColor(0x203040, 0x10E0F0);
  const std::vector<Step> steps = {
      {"first pass", [](Scene&) {}},
      {"value change", [](Scene&) { Zentu::Manager::SetCPUTemp(53.0f); }},
      {"control repainted",
       [](Scene& s) {
         s.fill->fill = 0x99CC33;
         s.host.pm.OnControlUpdate(s.fill->GetRect(), 1, s.fill);
       }},
      {"nothing changed", [](Scene&) {}},
      {"hidden and shown with a new value",
       [](Scene& s) {
         ::ShowWindow(s.host.hwnd(), SW_HIDE);
         Zentu::Manager::SetCPUTemp(104.0f);
         ::ShowWindow(s.host.hwnd(), SW_SHOWNOACTIVATE);
       }},
      {"value change after the show", [](Scene&) { Zentu::Manager::SetCPUTemp(9.0f); }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.change(scene);
    const Surface surface = scene.Paint(false);
    ASSERT_GT(surface.width, 0);
    // The X server shows the window shortly after it was handed the picture.
    int off = -1;
    WaitUntil([&] { return (off = OffScreenPixels(surface, ScreenOf(scene.host.hwnd()))) == 0; },
              3000);
    EXPECT_EQ(off, 0);
  }
}

}  // namespace
}  // namespace paint_test
