// MRender's image loaders (file, thumbnail, resource), icons and bitmap files under Wine.
#include "tests/win/render_test_support.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "tests/win/win_test_support.h"

using namespace Gdiplus;
using render_test::Surface;
using Zentu::CRect;
using Zentu::CString;
using Zentu::MRender;

namespace {

CString Fixture(const wchar_t* name) {
  return CString((calorix::test::ProgramFolder() + L"render_fixtures\\" + name).c_str());
}

// The fixture PNG is 6 × 4: left half red, right half blue, bottom row green. A scaled
// copy is smoothed by the scaler, so there each source pixel's colour need only dominate.
void ExpectFixturePixels(Image* image, int width, int height) {
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(int(image->GetWidth()), width);
  EXPECT_EQ(int(image->GetHeight()), height);
  Surface s(width, height);
  {
    Graphics g(s.dc());
    g.SetInterpolationMode(InterpolationModeNearestNeighbor);
    g.SetPixelOffsetMode(PixelOffsetModeHalf);
    g.DrawImage(image, 0, 0, width, height);
  }
  const int sx = width / 6, sy = height / 4;
  const struct {
    int x, y;
    uint32_t colour;
  } probes[] = {
      {0, 0, 0xFF0000}, {1, 1, 0xFF0000}, {4, 1, 0x0000FF}, {5, 0, 0x0000FF}, {2, 3, 0x00FF00}};
  for (const auto& p : probes) {
    const uint32_t c = s.Rgb(p.x * sx + sx / 2, p.y * sy + sy / 2);
    if (sx == 1 && sy == 1) {
      EXPECT_EQ(c, p.colour) << p.x << "," << p.y;
      continue;
    }
    for (int shift : {0, 8, 16}) {
      const int channel = (c >> shift) & 0xFF;
      if ((p.colour >> shift) & 0xFF)
        EXPECT_GT(channel, 100) << p.x << "," << p.y;
      else
        EXPECT_LT(channel, 60) << p.x << "," << p.y;
    }
  }
}

}  // namespace

TEST(MRenderFiles, LoadsPngFilesAndThumbnails) {
  std::unique_ptr<Image> image(MRender::LoadImageFromFile(Fixture(L"render_pixels.png")));
  ExpectFixturePixels(image.get(), 6, 4);
  std::unique_ptr<Image> thumb(MRender::LoadImageFromFileEx(Fixture(L"render_pixels.png"), 24, 16));
  ExpectFixturePixels(thumb.get(), 24, 16);
  std::unique_ptr<Image> own(MRender::LoadImageFromFileEx(Fixture(L"render_pixels.png"), 0, 0));
  ExpectFixturePixels(own.get(), 6, 4);

  EXPECT_EQ(MRender::LoadImageFromFile(Fixture(L"no_such_image.png")), nullptr);
  EXPECT_EQ(MRender::LoadImageFromFileEx(Fixture(L"no_such_image.png"), 10, 10), nullptr);
  EXPECT_EQ(MRender::LoadImageFromFileEx(Fixture(L"render_pixels.png"), -1, 10), nullptr);
}

TEST(MRenderFiles, LoadsImagesFromModuleResources) {
  HINSTANCE self = ::GetModuleHandleW(nullptr);
  for (const wchar_t* type : {L"PNG", L"png"}) {  // the type name ignores case
    std::unique_ptr<Image> image(MRender::LoadImageFromIDResource(1, type, self));
    ExpectFixturePixels(image.get(), 6, 4);  // still readable after the stream was released
  }
  EXPECT_EQ(MRender::LoadImageFromIDResource(2, L"PNG", self), nullptr);
  EXPECT_EQ(MRender::LoadImageFromIDResource(1, L"TTF", self), nullptr);

  // The copy of the resource goes with its image: 400 loads leave the heap as it was.
  auto busy_bytes = [] {
    size_t total = 0;
    PROCESS_HEAP_ENTRY entry{};
    ::HeapLock(::GetProcessHeap());
    while (::HeapWalk(::GetProcessHeap(), &entry))
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    ::HeapUnlock(::GetProcessHeap());
    return total;
  };
  const DWORD copy_size =
      ::SizeofResource(self, ::FindResourceW(self, MAKEINTRESOURCEW(1), L"PNG"));
  delete MRender::LoadImageFromIDResource(1, L"PNG", self);
  const size_t before = busy_bytes();
  for (int i = 0; i < 400; ++i) delete MRender::LoadImageFromIDResource(1, L"PNG", self);
  EXPECT_LT(busy_bytes(), before + 100 * copy_size);
}

TEST(MRenderFiles, LoadsTheIconOfAnIconFile) {
  Zentu::UniqueIcon icon(MRender::LoadIconFromFile(Fixture(L"render_icon.ico")));
  ASSERT_TRUE(icon);
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(icon.get(), &info));
  Zentu::UniqueGdiObject colour(info.hbmColor), mask(info.hbmMask);
  // A path its 260-character buffer cannot hold is refused, not cut to another name.
  EXPECT_EQ(MRender::LoadIconFromFile(CString(L'a', 300)), nullptr);
}

TEST(MRenderFiles, SaveBitmapToFileWritesA24BitBitmap) {
  Surface s(5, 3);  // rows red, green, blue from the top; the top row ends in (1, 2, 3)
  for (int y = 0; y < 3; ++y)
    MRender::FillSolidRect(s.dc(), CRect(0, y, 5, y + 1),
                           RGB(y == 0 ? 255 : 0, y == 1 ? 255 : 0, y == 2 ? 255 : 0));
  ::SetPixelV(s.dc(), 4, 0, RGB(1, 2, 3));
  // The bitmap must not be selected into a DC while its bits are read.
  Zentu::UniqueGdiObject stand_in(::CreateBitmap(1, 1, 1, 1, nullptr));
  Zentu::UniqueSelection swap = Zentu::SelectInto(s.dc(), stand_in.get());

  const char* requested = std::getenv("RENDER_SAVE_BMP");  // set by the identify check
  const std::wstring path = requested ? std::wstring(requested, requested + std::strlen(requested))
                                      : calorix::test::ProgramFolder() + L"render_saved.bmp";
  for (int pass = 0; pass < 2; ++pass)  // the second pass replaces the first file
    ASSERT_EQ(MRender::SaveBitmapToFile(s.bitmap(), path.c_str()), 1);
  std::ifstream in(path.c_str(), std::ios::binary);
  const std::vector<uint8_t> f(std::istreambuf_iterator<char>(in), {});
  ASSERT_EQ(f.size(), 54u + 16u * 3u);  // rows of 15 bytes padded to 16
  auto u32 = [&](size_t at) { return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | f[at + 3] << 24; };
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(u32(2), 102);
  EXPECT_EQ(u32(10), 54);
  EXPECT_EQ(u32(18), 5);
  EXPECT_EQ(u32(22), 3);
  EXPECT_EQ(f[28], 24);
  // Bottom row first, pixels as B, G, R.
  EXPECT_EQ(f[54 + 0], 255);       // bottom row: blue
  EXPECT_EQ(f[54 + 16 + 1], 255);  // middle row: green
  EXPECT_EQ(f[54 + 32 + 2], 255);  // top row: red
  EXPECT_EQ(f[54 + 32 + 12] << 16 | f[54 + 32 + 13] << 8 | f[54 + 32 + 14], 0x030201);

  const std::wstring bad = calorix::test::ProgramFolder() + L"no_such_folder\\x.bmp";
  EXPECT_EQ(MRender::SaveBitmapToFile(s.bitmap(), bad.c_str()), 0);
  EXPECT_EQ(MRender::SaveBitmapToFile(nullptr, path.c_str()), 0);

  // One bit per pixel here, 24 in the file: 30000 x 30000 needs 2.7 GB of rows, more than
  // a 32-bit process can have. The save fails; no exception leaves the library.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } mono{{sizeof(BITMAPINFOHEADER), 30000, 30000, 1, 1, BI_RGB, 0, 0, 0, 0, 0}, {}};
  void* bits = nullptr;
  Zentu::UniqueGdiObject huge(::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&mono),
                                                 DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_TRUE(huge);
  const std::wstring huge_path = calorix::test::ProgramFolder() + L"render_huge.bmp";
  EXPECT_EQ(MRender::SaveBitmapToFile(static_cast<HBITMAP>(huge.get()), huge_path.c_str()), 0);
  EXPECT_EQ(::GetFileAttributesW(huge_path.c_str()), INVALID_FILE_ATTRIBUTES);
}
