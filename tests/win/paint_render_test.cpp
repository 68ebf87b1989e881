// Paint pass under Wine: layered surfaces, alpha repair, the temperature overlay, repaints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <limits>
#include <memory>

#include "tests/win/paint_test_support.h"
#include "ui/core/manager.h"

namespace paint_test {
namespace {

constexpr int kWidth = 340, kHeight = 250;

// A control that paints black with white GDI text over it, straight onto the target.
class TextControl : public Zentu::MControl {
 public:
  TextControl(Zentu::MObject* parent, CRect rect) : MControl(parent, 7, rect, 1, 1, 1) {}
  void DrawControl(HDC& dc, CRect) override {
    RECT area = GetRect();
    ::FillRect(dc, &area, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    ::DrawTextW(dc, L"HI", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
};

uint32_t Premultiplied(uint32_t argb) {
  const uint32_t a = argb >> 24;
  auto channel = [&](int shift) { return (((argb >> shift) & 0xFF) * a / 255) << shift; };
  return (a << 24) | channel(16) | channel(8) | channel(0);
}

// Same alpha, and each colour channel within 1 of the premultiplied value (GDI+ rounds
// differently on different paths).
::testing::AssertionResult IsPremultiplied(uint32_t actual, uint32_t argb) {
  const uint32_t expected = Premultiplied(argb);
  bool ok = (actual >> 24) == (expected >> 24);
  for (int shift : {0, 8, 16}) {
    const int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
    ok = ok && a - e <= 1 && e - a <= 1;
  }
  if (ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hex << actual << " is not " << expected;
}

TEST(PaintLayered, FrameAndBackAreDrawnAtAlpha254) {
  HostWindow host;
  ASSERT_NE(host.Open(100, 100, kWidth, kHeight, true), nullptr);
  const auto surfaces = host.PaintNow();
  ASSERT_EQ(surfaces.size(), 1u);
  const Surface& s = surfaces[0];
  ASSERT_EQ(s.width, kWidth);
  ASSERT_EQ(s.height, kHeight);
  // The surface holds premultiplied colour, as UpdateLayeredWindow wants it.
  const uint32_t border = 0xFEBD30FF, back = 0xFE050505;
  for (int x : {0, 1, kWidth / 2, kWidth - 1}) {
    EXPECT_TRUE(IsPremultiplied(s.At(x, 0), border)) << x;
    EXPECT_TRUE(IsPremultiplied(s.At(x, kHeight - 1), border)) << x;
  }
  for (int y : {1, kHeight / 2, kHeight - 2}) {
    EXPECT_TRUE(IsPremultiplied(s.At(0, y), border)) << y;
    EXPECT_TRUE(IsPremultiplied(s.At(kWidth - 1, y), border)) << y;
  }
  EXPECT_TRUE(IsPremultiplied(s.At(1, 1), back));
  EXPECT_TRUE(IsPremultiplied(s.At(kWidth / 2, kHeight / 2), back));
  EXPECT_TRUE(IsPremultiplied(s.At(kWidth - 2, kHeight - 2), back));
  EXPECT_TRUE(::GetWindowLongW(host.hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST(PaintLayered, AlphaRepairMakesGdiTextOpaqueAndKeepsBlackTransparent) {
  HostWindow host;
  ASSERT_NE(host.Open(100, 100, kWidth, kHeight, true), nullptr);
  auto* text = new TextControl(&host, CRect(20, 20, 120, 60));
  text->SetManager(&host.pm);
  host.pm.GetControls().push_back(text);
  const auto surfaces = host.PaintNow();
  ASSERT_EQ(surfaces.size(), 1u);
  const Surface& s = surfaces[0];
  int opaque_text = 0, transparent_black = 0, other = 0;
  for (int y = 20; y < 60; ++y)
    for (int x = 20; x < 120; ++x) {
      const uint32_t p = s.At(x, y);
      if (p == 0)
        ++transparent_black;
      else if (Surface::Alpha(p) == 255)
        ++opaque_text;
      else
        ++other;
    }
  EXPECT_GT(opaque_text, 20);
  EXPECT_GT(transparent_black, 2000);
  EXPECT_EQ(other, 0);
  EXPECT_TRUE(IsPremultiplied(s.At(10, 10), 0xFE050505));  // the back colour around it
}

TEST(PaintLayered, MinimisedWindowPaintsNothing) {
  HostWindow host;
  ASSERT_NE(host.Open(100, 100, kWidth, kHeight, true), nullptr);
  ::ShowWindow(host.hwnd(), SW_MINIMIZE);
  ASSERT_TRUE(::IsIconic(host.hwnd()));
  EXPECT_TRUE(host.PaintNow().empty());
  // The update region is emptied, so the system does not keep asking.
  RECT pending;
  EXPECT_FALSE(::GetUpdateRect(host.hwnd(), &pending, FALSE));
}

TEST(PaintPlain, OnlyTheUpdateRectangleIsPresented) {
  HostWindow host;
  ASSERT_NE(host.Open(100, 100, 200, 100, false), nullptr);
  host.PaintNow();
  // Mark the screen, then repaint a part: only that part is copied over the mark.
  HDC dc = ::GetDC(host.hwnd());
  RECT all{0, 0, 200, 100};
  ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  RECT part{10, 10, 30, 30};
  ::InvalidateRect(host.hwnd(), &part, FALSE);
  ::UpdateWindow(host.hwnd());
  EXPECT_EQ(::GetPixel(dc, 20, 20), RGB(5, 5, 5));
  EXPECT_EQ(::GetPixel(dc, 50, 50), RGB(255, 255, 255));
  ::ReleaseDC(host.hwnd(), dc);
}

// ---- the temperature overlay ----

// Renders `text` the way the overlay does, on the back colour, into a client-sized surface.
Surface RenderReference(Gdiplus::FontFamily* family, const wchar_t* text, int width, int height) {
  Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppPARGB);
  {
    Gdiplus::Graphics g(&bitmap);
    g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    Gdiplus::SolidBrush back(Gdiplus::Color(0xFE050505));
    g.FillRectangle(&back, 0, 0, width, height);
    g.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    Gdiplus::Font font(family, 50.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    Gdiplus::StringFormat format;
    format.SetAlignment(Gdiplus::StringAlignmentCenter);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintClearTypeGridFit);
    Gdiplus::SolidBrush brush(Gdiplus::Color(0xFFFBFBFB));
    g.DrawString(text, -1, &font,
                 Gdiplus::RectF(static_cast<float>(width / 2 - 60), 70.0f, 120.0f, 60.0f), &format,
                 &brush);
  }
  Surface s;
  s.width = width;
  s.height = height;
  s.pixels.resize(static_cast<size_t>(width) * height);
  // Raw premultiplied values, as the paint pass's surface holds them.
  Gdiplus::BitmapData data;
  Gdiplus::Rect all(0, 0, width, height);
  if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) ==
      Gdiplus::Ok) {
    for (int y = 0; y < height; ++y) {
      const auto* row =
          reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(data.Scan0) + y * data.Stride);
      for (int x = 0; x < width; ++x) s.pixels[static_cast<size_t>(y) * width + x] = row[x];
    }
    bitmap.UnlockBits(&data);
  }
  return s;
}

// Pixels of the overlay's layout box that differ between two surfaces (colour only).
int DifferingTextPixels(const Surface& a, const Surface& b) {
  int differing = 0;
  for (int y = 70; y < 130; ++y)
    for (int x = a.width / 2 - 60; x < a.width / 2 + 60; ++x)
      differing +=
          std::abs(static_cast<int>(a.At(x, y) & 0xFF) - static_cast<int>(b.At(x, y) & 0xFF)) > 64;
  return differing;
}

int BrightPixels(const Surface& s, const CRect& box) {
  int bright = 0;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) bright += (s.At(x, y) & 0xFF) > 0x80;
  return bright;
}

class PaintDrawInfo : public ::testing::Test {
 protected:
  void SetUp() override { saved_font_ = Zentu::Manager::GetFontName(); }
  void TearDown() override {
    Zentu::Manager::SetFontName(saved_font_);
    Zentu::Manager::SetCPUTemp(0.0f);
  }
  Zentu::CString saved_font_;
};

TEST_F(PaintDrawInfo, DrawsTheTruncatedTemperatureInTheDefaultFont) {
  // "Arial" is the library's default font name. This program runs without the host's
  // fonts (see paint.cmake): the family comes from the prefix's Arial replacement, as it
  // comes from the system's own Arial on Windows.
  ASSERT_EQ(Zentu::Manager::GetFontName(), Zentu::CString(L"Arial"));
  Zentu::Manager::SetCPUTemp(47.9f);
  ::SetCursorPos(0, 0);

  HostWindow host;
  ASSERT_NE(host.Open(100, 100, kWidth, kHeight, true), nullptr);
  EXPECT_EQ(host.pm.GetGDITempFontCount(), 1u);  // the embedded font, registered by Init
  host.pm.EnableDrawInfo(1);
  const auto surfaces = host.PaintNow();
  ASSERT_EQ(surfaces.size(), 1u);
  const Surface& drawn = surfaces[0];

  Gdiplus::FontFamily arial(L"Arial");
  ASSERT_EQ(arial.GetLastStatus(), Gdiplus::Ok) << "no Arial here";
  const Surface expected = RenderReference(&arial, L"47", kWidth, kHeight);
  const Surface rounded = RenderReference(&arial, L"48", kWidth, kHeight);

  EXPECT_GT(BrightPixels(drawn, CRect(kWidth / 2 - 60, 70, kWidth / 2 + 60, 130)), 100);
  EXPECT_LE(DifferingTextPixels(drawn, expected), 10);
  EXPECT_GT(DifferingTextPixels(drawn, rounded), 20);  // truncated, not rounded

  // The overlay follows the value handed to the library.
  Zentu::Manager::SetCPUTemp(48.0f);
  const auto again = host.PaintNow();
  ASSERT_EQ(again.size(), 1u);
  EXPECT_LE(DifferingTextPixels(again[0], rounded), 10);
}

TEST_F(PaintDrawInfo, PointerOutlineOnlyInsideItsBox) {
  HostWindow host;
  ASSERT_NE(host.Open(100, 100, kWidth, kHeight, true), nullptr);
  host.pm.EnableDrawInfo(1);
  Zentu::Manager::SetCPUTemp(std::numeric_limits<float>::quiet_NaN());  // no number
  ::SetCursorPos(0, 0);
  const auto away = host.PaintNow();
  const POINT inside = ToScreen(host.hwnd(), 280, 15);
  ::SetCursorPos(inside.x, inside.y);
  const auto over = host.PaintNow();
  ::SetCursorPos(0, 0);
  ASSERT_EQ(away.size(), 1u);
  ASSERT_EQ(over.size(), 1u);
  int changed = 0, outside = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (away[0].At(x, y) != over[0].At(x, y)) {
        ++changed;
        if (x < 275 || x > 293 || y < 10 || y > 27) ++outside;
      }
  EXPECT_GT(changed, 30);
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(over[0].At(275, 10) & 0xFFFFFF, 0xC8C8C8u);
}

// ---- repaint requests ----

TEST(PaintRepaint, LowerRequestRefreshesTheUpperOneAndNotViceVersa) {
  HostWindow host;
  ASSERT_NE(host.Open(100, 100, 200, 150, false), nullptr);
  host.PaintNow();
  auto* lower = static_cast<RecordingControl*>(nullptr);
  lower = new RecordingControl(&host, 1, CRect(10, 10, 60, 60));
  auto* upper = new RecordingControl(&host, 2, CRect(40, 40, 100, 90), 0x996633);
  for (auto* c : {lower, upper}) {
    c->SetManager(&host.pm);
    host.pm.GetControls().push_back(c);
  }
  host.PaintNow();
  ::ValidateRect(host.hwnd(), nullptr);
  lower->discarded = upper->discarded = 0;

  host.pm.OnControlUpdate(lower->GetRect(), 1, lower);
  EXPECT_EQ(lower->discarded, 1);
  EXPECT_EQ(upper->discarded, 1);
  RECT dirty;
  ASSERT_TRUE(::GetUpdateRect(host.hwnd(), &dirty, FALSE));
  EXPECT_EQ(CRect(dirty), CRect(10, 10, 100, 90));  // the union
  ::ValidateRect(host.hwnd(), nullptr);

  host.pm.OnControlUpdate(upper->GetRect(), 1, upper);
  EXPECT_EQ(lower->discarded, 1);
  EXPECT_EQ(upper->discarded, 2);
  ASSERT_TRUE(::GetUpdateRect(host.hwnd(), &dirty, FALSE));
  EXPECT_EQ(CRect(dirty), upper->GetRect());

  // Flag 0 only asks for the cached picture to be copied again.
  ::ValidateRect(host.hwnd(), nullptr);
  host.pm.OnControlUpdate(upper->GetRect(), 0, upper);
  EXPECT_EQ(upper->discarded, 2);
  EXPECT_TRUE(::GetUpdateRect(host.hwnd(), &dirty, FALSE));
}

TEST(PaintRepaint, LayeredWindowInvalidatesItsWholeClientArea) {
  HostWindow host;
  ASSERT_NE(host.Open(100, 100, 200, 150, true), nullptr);
  host.PaintNow();
  auto* c = new RecordingControl(&host, 1, CRect(10, 10, 20, 20));
  c->SetManager(&host.pm);
  host.pm.GetControls().push_back(c);
  ::ValidateRect(host.hwnd(), nullptr);
  host.pm.OnControlUpdate(c->GetRect(), 1, c);
  RECT dirty;
  ASSERT_TRUE(::GetUpdateRect(host.hwnd(), &dirty, FALSE));
  EXPECT_EQ(CRect(dirty), CRect(0, 0, 200, 150));
  EXPECT_EQ(host.pm.OnControlUpdate(c->GetRect(), 1, nullptr), 0);
}

// ---- teardown ----

TEST(PaintTeardown, ManyCyclesLeakNoGdiObjects) {
  auto cycle = [] {
    HostWindow host;
    host.Open(100, 100, kWidth, kHeight, true);
    host.pm.EnableDrawInfo(1);
    host.pm.CreateArea(&host, L"CArea", 1, CRect(0, 0, 340, 40), L"", 1, 1);
    auto* c = new RecordingControl(&host, 2, CRect(20, 60, 120, 100));
    c->SetManager(&host.pm);
    host.pm.GetControls().push_back(c);
    host.pm.AddImgResInfo(101, L"PNG", 2, 0);
    host.PaintNow();
    host.PaintNow();
    host.Close();
  };
  cycle();  // first-use allocations (caches, fonts) happen here
  // The counter must see objects come and go, or the comparison below proves nothing.
  const DWORD gdi_before = CountGdiObjects();
  HGDIOBJ probes[8];
  for (HGDIOBJ& probe : probes) probe = ::CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_EQ(CountGdiObjects(), gdi_before + 8) << "GDI objects cannot be counted here";
  for (HGDIOBJ probe : probes) ::DeleteObject(probe);
  ASSERT_EQ(CountGdiObjects(), gdi_before);
  for (int i = 0; i < 40; ++i) cycle();
  const DWORD gdi_after = CountGdiObjects();
  EXPECT_LE(gdi_after, gdi_before + 2) << gdi_before << " -> " << gdi_after;
}

}  // namespace
}  // namespace paint_test
