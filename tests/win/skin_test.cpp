// The tray program's skin under Wine: its icon as file and as resource 107, its backgrounds
// through the library's paint pass with the temperature over them, its small pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "tests/win/paint_test_support.h"
#include "tests/win/win_test_support.h"
#include "ui/core/manager.h"
#include "ui/paint/mrender.h"

namespace paint_test {
namespace {

const CRect kUnitArea(40, 155, 300, 210);
const CRect kNumberBox(110, 70, 230, 130);
constexpr int kMargin = 12;
const CRect kHeader(15, 15, 200, 50);

SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return {0, 0};
  BITMAP colour{};
  ::GetObjectW(info.hbmColor, sizeof(colour), &colour);
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  return {colour.bmWidth, colour.bmHeight};
}

// The icon drawn over opaque grey, as 0xAARRGGBB values.
std::vector<uint32_t> IconPixels(HICON icon, int side) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = side;
  info.bmiHeader.biHeight = -side;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HBITMAP surface = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(dc, surface);
  std::fill_n(static_cast<uint32_t*>(bits), side * side, 0xFF808080u);
  ::DrawIconEx(dc, 0, 0, icon, side, side, 0, nullptr, DI_NORMAL);
  std::vector<uint32_t> out(static_cast<uint32_t*>(bits),
                            static_cast<uint32_t*>(bits) + side * side);
  ::SelectObject(dc, old);
  ::DeleteObject(surface);
  ::DeleteDC(dc);
  return out;
}

TEST(SkinIcon, LoadsFromTheSkinFolderAndIsTheProgramsIcon107) {
  const Zentu::CString path = Zentu::GetSkinPath(L"Calorix.ico");
  HICON shell_icon = Zentu::MRender::LoadIconFromFile(path);
  ASSERT_NE(shell_icon, nullptr) << "the tray icon does not load";
  EXPECT_EQ(IconSize(shell_icon).cx, ::GetSystemMetrics(SM_CXICON));
  ::DestroyIcon(shell_icon);

  for (int side : {16, 24, 32, 48, 256}) {
    HICON icon = static_cast<HICON>(
        ::LoadImageW(nullptr, path.GetString(), IMAGE_ICON, side, side, LR_LOADFROMFILE));
    ASSERT_NE(icon, nullptr) << side;
    EXPECT_EQ(IconSize(icon).cx, side);
    ::DestroyIcon(icon);
  }

  const std::wstring program = calorix::test::ProgramFolder() + L"Calorix.exe";
  HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HICON resource = static_cast<HICON>(
      ::LoadImageW(module, MAKEINTRESOURCEW(107), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
  HICON file = static_cast<HICON>(
      ::LoadImageW(nullptr, path.GetString(), IMAGE_ICON, 32, 32, LR_LOADFROMFILE));
  ASSERT_NE(resource, nullptr) << "Calorix.exe has no icon 107";
  ASSERT_NE(file, nullptr);
  const std::vector<uint32_t> drawn = IconPixels(resource, 32);
  EXPECT_EQ(drawn, IconPixels(file, 32)) << "icon 107 is not the skin's icon";
  EXPECT_GT(std::count_if(drawn.begin(), drawn.end(), [](uint32_t p) { return p != 0xFF808080u; }),
            600);
  ::DestroyIcon(resource);
  ::DestroyIcon(file);
  ::FreeLibrary(module);
}

bool Near(uint32_t pixel, int at_least) {
  return std::min({(pixel >> 16) & 0xFFu, (pixel >> 8) & 0xFFu, pixel & 0xFFu}) >=
         static_cast<uint32_t>(at_least);
}

uint32_t Brightest(uint32_t pixel) {
  return std::max({(pixel >> 16) & 0xFFu, (pixel >> 8) & 0xFFu, pixel & 0xFFu});
}

// Opaque, and too dark to be confused with the number's strokes or their smoothing.
bool IsDarkGround(uint32_t pixel) { return pixel >> 24 == 0xFF && Brightest(pixel) < 40; }

// Bounds of everything in `r` that is not dark ground: the number and its smoothed edges.
CRect InkBounds(const Surface& s, CRect r) {
  CRect ink(r.right, r.bottom, r.left, r.top);
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (!IsDarkGround(s.At(x, y)))
        ink = CRect(std::min<int>(ink.left, x), std::min<int>(ink.top, y),
                    std::max<int>(ink.right, x + 1), std::max<int>(ink.bottom, y + 1));
  return ink;
}

std::vector<uint32_t> Area(const Surface& s, CRect r) {
  std::vector<uint32_t> out;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) out.push_back(s.At(x, y));
  return out;
}

class SkinBackgrounds : public ::testing::Test {
 protected:
  void TearDown() override { Zentu::Manager::SetCPUTemp(0.0f); }

  // One paint of the window as the tray program sets it up, with `value` shown.
  Surface Paint(const wchar_t* name, float value) {
    HostWindow host;
    EXPECT_NE(host.Open(100, 100, 340, 250, true), nullptr);
    EXPECT_EQ(host.pm.LoadBKImage(name), 1) << "GDI+ cannot read it";
    host.pm.EnableDrawInfo(1);
    Zentu::Manager::SetCPUTemp(value);
    ::SetCursorPos(0, 0);
    std::vector<Surface> surfaces = host.PaintNow();
    return surfaces.size() == 1 ? surfaces[0] : Surface{};
  }
};

TEST_F(SkinBackgrounds, CarryTheTemperatureLegiblyInTheirDisplayWindow) {
  std::map<std::wstring, Surface> painted;
  for (const wchar_t* name :
       {L"img_cpu_bkg5.png", L"img_cpu_bkg6.png", L"img_gpu_bkg5.png", L"img_gpu_bkg6.png"}) {
    SCOPED_TRACE(::testing::Message() << name);
    const bool fahrenheit = name[11] == L'6';
    const Surface s = Paint(name, fahrenheit ? 116.4f : 47.9f);
    ASSERT_EQ(s.width, 340);
    for (POINT corner : {POINT{0, 0}, POINT{339, 0}, POINT{0, 249}, POINT{339, 249}})
      EXPECT_EQ(Surface::Alpha(s.At(corner.x, corner.y)), 0) << "corner not see-through";
    const std::vector<uint32_t> unit = Area(s, kUnitArea);
    EXPECT_TRUE(std::none_of(unit.begin(), unit.end(), [](uint32_t p) { return p >> 24 == 0; }))
        << "clicks in the unit area would fall through the window";

    // The number: near-white strokes, framed on every side by at least kMargin pixels of
    // opaque dark display window.
    const std::vector<uint32_t> box = Area(s, kNumberBox);
    EXPECT_GT(std::count_if(box.begin(), box.end(), [](uint32_t p) { return Near(p, 0xE0); }),
              fahrenheit ? 250 : 180);
    const CRect glyphs = InkBounds(s, kNumberBox);
    ASSERT_FALSE(glyphs.IsRectEmpty());
    CRect framed = glyphs;
    framed.InflateRect(kMargin, kMargin);
    for (int y = framed.top; y < framed.bottom; ++y)
      for (int x = framed.left; x < framed.right; ++x) {
        if (glyphs.PtInRect(CPoint(x, y))) continue;
        ASSERT_TRUE(IsDarkGround(s.At(x, y))) << "not display ground at " << x << "," << y;
      }
    painted[name] = s;
  }
  EXPECT_NE(Area(painted[L"img_cpu_bkg5.png"], kUnitArea),
            Area(painted[L"img_cpu_bkg6.png"], kUnitArea));
  EXPECT_NE(Area(painted[L"img_gpu_bkg5.png"], kUnitArea),
            Area(painted[L"img_gpu_bkg6.png"], kUnitArea));
  EXPECT_NE(Area(painted[L"img_cpu_bkg5.png"], kHeader),
            Area(painted[L"img_gpu_bkg5.png"], kHeader));
}

TEST(SkinPictures, DecodeAtTheSizesTheirUsersExpect) {
  const struct {
    const wchar_t* name;
    UINT width, height;
  } pictures[] = {{L"img_btn_close.png", 18, 17},      {L"img_button.png", 400, 30},
                  {L"img_tip_bk.png", 24, 24},         {L"img_tip_arrow_left.png", 7, 12},
                  {L"img_tip_arrow_right.png", 7, 12}, {L"img_tip_arrow_top.png", 12, 7}};
  for (const auto& p : pictures) {
    std::unique_ptr<Gdiplus::Image> image(
        Zentu::MRender::LoadImageFromFile(Zentu::GetSkinPath(p.name)));
    ASSERT_NE(image, nullptr) << p.name;
    EXPECT_EQ(image->GetWidth(), p.width);
    EXPECT_EQ(image->GetHeight(), p.height);
    EXPECT_TRUE(image->GetFlags() & Gdiplus::ImageFlagsHasAlpha);
  }
}

}  // namespace
}  // namespace paint_test
