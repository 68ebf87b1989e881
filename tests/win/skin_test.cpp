// The tray program's skin under Wine: the icon as a file and as the program's resource 107,
// and the backgrounds through the library's paint pass with the temperature over them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/win/paint_test_support.h"
#include "tests/win/win_test_support.h"
#include "ui/core/manager.h"
#include "ui/paint/mrender.h"

namespace paint_test {
namespace {

// Size and colour bits of an icon's picture; empty for a null icon.
struct IconPicture {
  SIZE size{0, 0};
  std::vector<uint8_t> bits;
};

IconPicture Picture(HICON icon) {
  IconPicture out;
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return out;
  BITMAP colour{};
  ::GetObjectW(info.hbmColor, sizeof(colour), &colour);
  out.size = {colour.bmWidth, colour.bmHeight};
  out.bits.resize(static_cast<size_t>(colour.bmWidthBytes) * colour.bmHeight);
  ::GetBitmapBits(info.hbmColor, static_cast<LONG>(out.bits.size()), out.bits.data());
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  ::DestroyIcon(icon);
  return out;
}

HICON LoadSized(HMODULE module, const wchar_t* name, int side) {
  return static_cast<HICON>(
      ::LoadImageW(module, name, IMAGE_ICON, side, side, module ? 0 : LR_LOADFROMFILE));
}

TEST(SkinIcon, LoadsFromTheSkinFolderAndIsTheProgramsIcon107) {
  const Zentu::CString path = Zentu::GetSkinPath(L"Calorix.ico");
  const IconPicture tray = Picture(Zentu::MRender::LoadIconFromFile(path));
  EXPECT_EQ(tray.size.cx, ::GetSystemMetrics(SM_CXICON)) << "the tray icon does not load";

  const std::wstring program = calorix::test::ProgramFolder() + L"Calorix.exe";
  HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  for (int side : {16, 24, 32, 48, 256}) {
    const IconPicture file = Picture(LoadSized(nullptr, path.GetString(), side));
    EXPECT_EQ(file.size.cx, side);
    const IconPicture resource = Picture(LoadSized(module, MAKEINTRESOURCEW(107), side));
    EXPECT_EQ(resource.size.cx, side) << "Calorix.exe has no icon 107 of this size";
    EXPECT_TRUE(resource.bits == file.bits) << side << ": icon 107 is not the skin's icon";
  }
  ::FreeLibrary(module);
}

uint32_t Brightest(uint32_t pixel) {
  return std::max({(pixel >> 16) & 0xFFu, (pixel >> 8) & 0xFFu, pixel & 0xFFu});
}

// Opaque, and too dark to be confused with the number's strokes or their smoothing.
bool IsDarkGround(uint32_t pixel) { return pixel >> 24 == 0xFF && Brightest(pixel) < 40; }

// Pixels of dark ground from (x, y) outward in one direction, up to the display's rim.
int GroundRun(const Surface& s, int x, int y, int dx, int dy) {
  int n = 0;
  for (x += dx, y += dy; x >= 0 && y >= 0 && x < s.width && y < s.height; x += dx, y += dy, ++n)
    if (!IsDarkGround(s.At(x, y))) break;
  return n;
}

// The number on one painted window: near-white, with at least 12 pixels of opaque dark
// display window on every side, and centred in it.
void ExpectLegibleNumber(const Surface& s, int at_least_white) {
  const CRect number_box(110, 70, 230, 130);  // where the library centres the number
  CRect ink(number_box.right, number_box.bottom, number_box.left, number_box.top);
  int white = 0;
  for (int y = number_box.top; y < number_box.bottom; ++y)
    for (int x = number_box.left; x < number_box.right; ++x) {
      const uint32_t p = s.At(x, y);
      white += (p & 0xFFE0E0E0u) == 0xFFE0E0E0u;  // opaque, every channel at least 0xE0
      if (!IsDarkGround(p))
        ink = CRect(std::min<int>(ink.left, x), std::min<int>(ink.top, y),
                    std::max<int>(ink.right, x + 1), std::max<int>(ink.bottom, y + 1));
    }
  EXPECT_GT(white, at_least_white) << "the number is not drawn in white";
  const int cx = (ink.left + ink.right) / 2, cy = (ink.top + ink.bottom) / 2;
  const int left = GroundRun(s, ink.left, cy, -1, 0), right = GroundRun(s, ink.right - 1, cy, 1, 0);
  const int up = GroundRun(s, cx, ink.top, 0, -1), down = GroundRun(s, cx, ink.bottom - 1, 0, 1);
  EXPECT_GE(std::min({left, right, up, down}), 12) << "the display window is too tight";
  EXPECT_NEAR(left, right, 4);
  EXPECT_NEAR(up, down, 4);
}

// The window as the tray program sets it up: layered, the background stretched, the
// temperature drawn over it; a three-digit value on the Fahrenheit ones.
TEST(SkinBackgrounds, CarryTheTemperatureLegiblyInTheirDisplayWindow) {
  for (const wchar_t* name :
       {L"img_cpu_bkg5.png", L"img_cpu_bkg6.png", L"img_gpu_bkg5.png", L"img_gpu_bkg6.png"}) {
    SCOPED_TRACE(::testing::Message() << name);
    const bool fahrenheit = name[11] == L'6';
    HostWindow host;
    ASSERT_NE(host.Open(100, 100, 340, 250, true), nullptr);
    ASSERT_EQ(host.pm.LoadBKImage(name), 1) << "GDI+ cannot read it";
    host.pm.EnableDrawInfo(1);
    Zentu::Manager::SetCPUTemp(fahrenheit ? 116.4f : 47.9f);
    ::SetCursorPos(0, 0);
    const std::vector<Surface> painted = host.PaintNow();
    ASSERT_EQ(painted.size(), 1u);
    ExpectLegibleNumber(painted[0], fahrenheit ? 250 : 180);
  }
  Zentu::Manager::SetCPUTemp(0.0f);
}

}  // namespace
}  // namespace paint_test
