// MRender's drawing under Wine, read back from DIB sections: frames, fills, gradients,
// the own blend, text, shapes and fades.
#include "tests/win/render_test_support.h"

#include <cmath>
#include <memory>

#include "ui/paint/blend_api.h"

using namespace Gdiplus;
using render_test::RgbNear;
using render_test::Surface;
using Zentu::CPoint;
using Zentu::CRect;
using Zentu::MRender;
namespace detail = Zentu::render_detail;

namespace {

class GdiplusEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
  }
  void TearDown() override { GdiplusShutdown(token_); }

 private:
  ULONG_PTR token_ = 0;
};
const auto* const gdiplus_environment = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

const ARGB kBlock[3][3] = {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF},
                           {0xFFFFFF00, 0xFFFF00FF, 0xFF00FFFF},
                           {0xFF800000, 0xFF008000, 0xFF000080}};

// Index of the band of `cuts` that holds v, or -1 outside.
int Band(const int (&cuts)[4], int v) {
  for (int i = 0; i < 3; ++i)
    if (v >= cuts[i] && v < cuts[i + 1]) return i;
  return -1;
}

// 3 × 3 blocks of kBlock's colours cut at the given columns and rows, after `offset`
// columns of grey (an earlier frame of a strip).
Bitmap* BlockImage(const int (&cols)[4], const int (&rows)[4], int offset) {
  auto* image = new Bitmap(offset + cols[3], rows[3], PixelFormat32bppARGB);
  for (int y = 0; y < rows[3]; ++y)
    for (int x = 0; x < offset + cols[3]; ++x)
      image->SetPixel(
          x, y, Color(x < offset ? 0xFF808080 : kBlock[Band(rows, y)][Band(cols, x - offset)]));
  return image;
}

// Nearest-neighbour with the half-pixel offset: every stretched pixel shows its piece's
// colour exactly. (Wine's bilinear stretch ignores the wrap mode and bleeds across seams.)
struct ExactGraphics : Graphics {
  explicit ExactGraphics(HDC dc) : Graphics(dc) {
    SetInterpolationMode(InterpolationModeNearestNeighbor);
    SetPixelOffsetMode(PixelOffsetModeHalf);
  }
};

}  // namespace

TEST(MRenderSurface, Argb32BitmapFillsAndBlits) {
  Surface s(8, 4);
  ASSERT_TRUE(s.ok());
  DIBSECTION dib{};
  ASSERT_EQ(::GetObjectW(s.bitmap(), sizeof(dib), &dib), int(sizeof(dib)));
  EXPECT_EQ(dib.dsBmih.biBitCount, 32);
  EXPECT_EQ(dib.dsBmih.biHeight, 4);        // positive: bottom-up
  ::SetPixelV(s.dc(), 0, 0, RGB(1, 2, 3));  // the top-left pixel is in the last memory row
  EXPECT_EQ(s.Rgb(0, 0), 0x010203u);

  MRender::FillSolidRect(s.dc(), CRect(2, 1, 5, 3), RGB(10, 20, 30));
  EXPECT_EQ(::GetBkColor(s.dc()), RGB(10, 20, 30));  // left as the background colour
  EXPECT_EQ(s.Rgb(2, 1), 0x0A141Eu);
  EXPECT_EQ(s.Rgb(4, 2), 0x0A141Eu);
  EXPECT_EQ(s.Rgb(5, 2), 0u);
  EXPECT_EQ(s.Rgb(4, 3), 0u);

  Surface t(8, 4);
  EXPECT_TRUE(MRender::BitBlt(t.dc(), 0, 0, 8, 4, s.dc(), 0, 0));  // plain copy by default
  EXPECT_EQ(t.Rgb(3, 2), 0x0A141Eu);
  BYTE* none = reinterpret_cast<BYTE*>(1);
  EXPECT_EQ(MRender::CreateARGB32Bitmap(s.dc(), 0, 0, &none), nullptr);
  EXPECT_EQ(none, nullptr);
}

TEST(MRenderFrame, PiecesLandWhereTheyBelong) {
  struct Case {
    const char* name;
    int src_cols[4], src_rows[4], offset;  // the source image
    CRect dest;
    int margins[4];        // left, top, right, bottom; all equal: DrawImageFrame
    int cols[4], rows[4];  // where the pieces must land
  } cases[] = {
      {"nine",
       {0, 4, 8, 12},
       {0, 4, 8, 12},
       0,
       {10, 10, 50, 40},
       {4, 4, 4, 4},
       {10, 14, 46, 50},
       {10, 14, 36, 40}},
      // Frame 1 of a strip (source x 12); whole-number stretch factors, because Wine
      // drops a column at some fractional ones.
      {"strip",
       {0, 4, 8, 12},
       {0, 4, 8, 12},
       12,
       {5, 5, 37, 37},
       {4, 4, 4, 4},
       {5, 9, 33, 37},
       {5, 9, 33, 37}},
      {"mid",
       {0, 2, 8, 12},
       {0, 3, 7, 12},
       0,
       {10, 10, 50, 40},
       {2, 3, 4, 5},
       {10, 12, 46, 50},
       {10, 13, 35, 40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<Bitmap> image(BlockImage(c.src_cols, c.src_rows, c.offset));
    Surface s(60, 50);
    {
      ExactGraphics g(s.dc());
      const int* m = c.margins;
      if (m[0] == m[1] && m[1] == m[2] && m[2] == m[3])
        MRender::DrawImageFrame(&g, image.get(), c.dest, c.offset, 0, 12, 12, m[0]);
      else
        MRender::DrawImageFrameMID(&g, image.get(), c.dest, 0, 0, 12, 12, m[0], m[1], m[2], m[3]);
    }
    int wrong = 0;
    for (int y = 0; y < s.height(); ++y)
      for (int x = 0; x < s.width(); ++x) {
        const int col = Band(c.cols, x), row = Band(c.rows, y);
        const uint32_t expected = (col < 0 || row < 0) ? 0 : (kBlock[row][col] & 0xFFFFFF);
        if (s.Rgb(x, y) != expected && ++wrong <= 3)
          ADD_FAILURE() << "(" << x << ", " << y << ") is 0x" << std::hex << s.Rgb(x, y);
      }
    EXPECT_EQ(wrong, 0);
  }
}

TEST(MRenderFrame, CornerZeroDrawsOnlyTheStretchedCentre) {
  const int cuts[4] = {0, 4, 8, 12};
  std::unique_ptr<Bitmap> image(BlockImage(cuts, cuts, 0));
  Surface s(60, 60);
  {
    Graphics g(s.dc());
    MRender::DrawImageFrame(&g, image.get(), CRect(10, 10, 46, 46), 0, 0, 12, 12, 0);
    MRender::DrawImageFrame(&g, nullptr, CRect(0, 0, 60, 60), 0, 0, 12, 12, 4);  // no-ops
    MRender::DrawImageFrame(nullptr, image.get(), CRect(0, 0, 60, 60), 0, 0, 12, 12, 4);
  }
  // The whole source, 3× larger (checked inside the blocks: the stretch smooths their
  // seams and Wine's stretch samples past the image's edge); nothing outside.
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x) {
      const bool in = x >= 10 && x < 46 && y >= 10 && y < 46;
      const int bx = (x - 10) % 12, by = (y - 10) % 12;
      if (in && (bx < 2 || bx > 9 || by < 2 || by > 9)) continue;
      const uint32_t expected = in ? kBlock[(y - 10) / 12][(x - 10) / 12] & 0xFFFFFF : 0;
      ASSERT_EQ(s.Rgb(x, y), expected) << x << "," << y;
    }
}

TEST(MRenderFill, DrawColorRespectsAlpha) {
  Surface s(10, 10);
  MRender::DrawColor(s.dc(), CRect(0, 0, 10, 10), 0x00FFFFFF);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(s.At(i, i), 0u) << "alpha 0 draws nothing";
  MRender::DrawColor(s.dc(), CRect(0, 0, 5, 10), 0x01FFFFFF);  // white at 1/255 over black
  EXPECT_EQ(s.Rgb(2, 5), 0x010101u);
  EXPECT_EQ(s.Rgb(7, 5), 0u);
  MRender::DrawColor(s.dc(), CRect(5, 0, 10, 10), 0xFF336699);
  EXPECT_EQ(s.Rgb(7, 5), 0x336699u);

  ARGB black = 0xFF000000, clear = 0, red = 0x80FF0000;
  for (ARGB* c : {&black, &clear, &red}) MRender::CheckAlphaColor(*c);
  EXPECT_EQ(black, 0xFF000001u);
  EXPECT_EQ(clear, 0x00000001u);
  EXPECT_EQ(red, 0x80FF0000u);
}

TEST(MRenderGradient, BlendsAtTheAverageAlphaInBothDirections) {
  const auto& api = detail::PlatformBlendApi();  // msimg32's, resolved once
  EXPECT_NE(api.gradient_fill, nullptr);
  EXPECT_NE(api.alpha_blend, &detail::OwnAlphaBlend);
  EXPECT_EQ(&api, &detail::PlatformBlendApi());
  // Red to blue over black: 128 + 128 and 255 + 1 both blend at 128/255.
  const ARGB pairs[2][2] = {{0x80FF0000, 0x800000FF}, {0xFFFF0000, 0x010000FF}};
  for (const auto& c : pairs)
    for (bool vertical : {false, true}) {
      SCOPED_TRACE(vertical ? "vertical" : "horizontal");
      Surface s(vertical ? 4 : 256, vertical ? 256 : 4);
      MRender::DrawGradient(s.dc(), CRect(0, 0, s.width(), s.height()), c[0], c[1], vertical, 64);
      auto at = [&](int i) { return vertical ? s.Rgb(1, i) : s.Rgb(i, 1); };
      EXPECT_TRUE(RgbNear(at(0), 0x800000, 3));
      EXPECT_TRUE(RgbNear(at(128), 0x400040, 3));
      EXPECT_TRUE(RgbNear(at(255), 0x000080, 3));
    }
  Surface s(100, 20);
  MRender::DrawGradient(s.dc(), CRect(0, 0, 100, 10), 0xFFFF0000, 0xFF0000FF, false, 0);
  EXPECT_TRUE(RgbNear(s.Rgb(0, 5), 0xFF0000, 3));  // opaque: drawn straight
  MRender::DrawGradient(s.dc(), CRect(0, 10, 100, 20), 0x01FFFFFF, 0x00FFFFFF, false, 0);
  for (int x = 0; x < 100; x += 9) EXPECT_EQ(s.At(x, 15), 0u);  // (1 + 0) >> 1 = 0
}

TEST(MRenderGradient, BandFallbackGivesTheMixedBandColours) {
  const detail::BlendApi fallback{&detail::OwnAlphaBlend, nullptr};
  // Hint 4: 4 bands; band k from the right is (second × (4 − k) + first × k) >> 2.
  const ARGB first = 0xFF0000FF, second = 0xFFFF0000;
  const uint32_t opaque[4] = {0xFF0000, 0xBF003F, 0x7F007F, 0x3F00BF};
  const uint32_t half[4] = {0x800000, 0x5F001F, 0x3F003F, 0x1F005F};  // × 128/255
  Surface s(100, 100);
  detail::DrawGradientWith(fallback, s.dc(), CRect(0, 0, 100, 10), first, second, false, 4);
  // Vertical, offset, and at alpha (255 + 1) >> 1 through the own blend over black.
  detail::DrawGradientWith(fallback, s.dc(), CRect(20, 20, 30, 60), first, 0x01FF0000, true, 4);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(s.Rgb(99 - k * 25, 5), opaque[k]) << k;
    EXPECT_EQ(s.Rgb(75 - k * 25, 5), opaque[k]) << k;
    EXPECT_EQ(s.Rgb(25, 59 - k * 10), half[k]) << k;
    EXPECT_EQ(s.Rgb(25, 50 - k * 10), half[k]) << k;
  }
  EXPECT_EQ(s.Rgb(19, 40), 0u);
  EXPECT_EQ(s.Rgb(30, 40), 0u);
  EXPECT_EQ(s.Rgb(25, 60), 0u);
}

TEST(MRenderGradient, OwnAlphaBlendMatchesTheFormula) {
  const uint32_t sources[4] = {0xFFFFFFFF, 0x80FF8000, 0x40102030, 0x00FFFFFF};
  const uint32_t dest_colour = 0xFF204060;
  Surface src(4, 1), dst(4, 1);
  BITMAP bm{};
  ::GetObjectW(src.bitmap(), sizeof(bm), &bm);
  for (int x = 0; x < 4; ++x) static_cast<uint32_t*>(bm.bmBits)[x] = sources[x];
  dst.Fill(dest_colour);
  ASSERT_TRUE(detail::OwnAlphaBlend(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, 4, 1,
                                    {AC_SRC_OVER, 0, 200, AC_SRC_ALPHA}));
  for (int x = 0; x < 4; ++x) {
    const double w = (sources[x] >> 24) * 200.0 / 255.0 / 255.0;
    uint32_t expected = 0;
    for (int shift : {0, 8, 16})
      expected |=
          uint32_t(((dest_colour >> shift) & 0xFF) * (1 - w) + ((sources[x] >> shift) & 0xFF) * w)
          << shift;
    EXPECT_TRUE(RgbNear(dst.At(x, 0), expected, 1)) << x;
    EXPECT_EQ(dst.At(x, 0) >> 24, 0u) << "the result's alpha byte is 0";
  }
  // Without AC_SRC_ALPHA the source's alpha bytes are ignored, as the platform does, and
  // the source is stretched to the destination.
  dst.Fill(0);
  ASSERT_TRUE(
      detail::OwnAlphaBlend(dst.dc(), 0, 0, 4, 1, src.dc(), 3, 0, 1, 1, {AC_SRC_OVER, 0, 255, 0}));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.Rgb(x, 0), 0xFFFFFFu) << x;
}

TEST(MRenderText, GdiTextDrawsInsideTheRectangleAndRestoresTheDc) {
  Surface s(120, 40);
  Zentu::UniqueGdiObject font(::CreateFontW(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                            NONANTIALIASED_QUALITY, 0, L"Arial"));
  ::SetTextColor(s.dc(), RGB(1, 1, 1));
  HGDIOBJ old_font = ::GetCurrentObject(s.dc(), OBJ_FONT);
  MRender::DrawTextW(s.dc(), CRect(10, 5, 110, 35), L"Hello", RGB(200, 0, 0),
                     static_cast<HFONT>(font.get()), DT_LEFT | DT_SINGLELINE);
  MRender::DrawTextW(s.dc(), CRect(0, 0, 120, 40), nullptr, RGB(0, 0, 255), nullptr, 0);
  int inside = 0, other = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      const bool in = x >= 10 && x < 110 && y >= 5 && y < 35;
      const uint32_t c = s.Rgb(x, y);
      if (c == 0xC80000u && in)
        ++inside;
      else if (c != 0)
        ++other;
    }
  EXPECT_GT(inside, 20);
  EXPECT_EQ(other, 0);
  EXPECT_EQ(::GetTextColor(s.dc()), RGB(1, 1, 1));
  EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_FONT), old_font);
}

TEST(MRenderText, GdiplusTextDrawsAndMeasuresInWholePixels) {
  FontFamily family(L"Arial");
  Font font(&family, 20.0f, FontStyleRegular, UnitPixel);
  ASSERT_EQ(font.GetLastStatus(), Ok);
  Surface s(120, 40);
  {
    Graphics g(s.dc());
    SolidBrush white(Color(0xFFFFFFFF));
    StringFormat format;
    g.DrawString(L"Hello", -1, &font, PointF(2, 2), &format, &white);
  }
  int lit = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) lit += s.Rgb(x, y) != 0;
  EXPECT_GT(lit, 30);

  // Width: the outline's bounds rounded up. Height: the line height (≈ 23 for Arial at
  // 20 px) + 4, truncated, when it has a fraction, else + 1.
  const REAL line = font.GetHeight(0.0f);
  const int line_height = line != REAL(int(line)) ? int(line + 4) : int(line) + 1;
  GraphicsPath path;
  StringFormat no_wrap(StringFormatFlagsNoWrap | StringFormatFlagsMeasureTrailingSpaces);
  path.AddString(L"Hello", -1, &family, FontStyleRegular, 20.0f, PointF(0, 0), &no_wrap);
  RectF bounds;
  path.GetBounds(&bounds);
  const Size one = MRender::GetTextBounds(&font, L"Hello");
  EXPECT_EQ(one.Width, int(std::ceil(bounds.Width)));
  EXPECT_EQ(one.Height, line_height);
  EXPECT_GT(MRender::GetTextBounds(&font, L"HelloHello").Width, one.Width + 30);
  // A null format is measured as the default one (Wine's AddString rejects null).
  const Size with_null = MRender::GetTextBounds(&font, nullptr, L"Hello");
  EXPECT_EQ(with_null.Width, one.Width);
  EXPECT_EQ(with_null.Height, line_height);
  // Layout-width form, one line lower than its line height: truncated line height + 3.
  // (Wine's AddString keeps only the first line of wrapped text: wrapping isn't measured.)
  StringFormat wrapping;
  EXPECT_LE(MRender::GetTextBounds(&font, &wrapping, 60, L"Hello Hello Hello").Width, 60);
  EXPECT_EQ(MRender::GetTextBounds(&font, &wrapping, 1000, L"Hello").Height, int(line) + 3);
  EXPECT_EQ(MRender::GetTextBounds(nullptr, L"x").Width, 0);
}

TEST(MRenderShape, RoundedRectanglesAndGeometry) {
  Surface s(60, 50), t(60, 50), u(80, 60);
  GraphicsPath path;
  MRender::AddRoundedRectangle(&path, 10, 10, 60, 40, 10);
  {
    Graphics gs(s.dc()), gt(t.dc()), gu(u.dc());
    MRender::DrawRoundRectange(&gs, 5, 5, 40, 30, 8, 0xFFFF0000);
    MRender::DrawRoundRectange(&gt, 5, 5, 40, 30, 2, 0xFF00FF00, 3.0f, TRUE, 0xFF0000FF);
    SolidBrush white(Color(0xFFFFFFFF));
    gu.FillPath(&white, &path);
  }
  // Filled: centre and edges coloured, the very corner cut away by the radius 8 arc.
  EXPECT_EQ(s.Rgb(25, 20), 0xFF0000u);
  EXPECT_EQ(s.Rgb(25, 6), 0xFF0000u);
  EXPECT_EQ(s.Rgb(6, 6), 0u);
  // Outlined with radii 10 × 7.5: filled inside, pen on the edges, corner clear.
  EXPECT_EQ(t.Rgb(25, 20), 0x0000FFu);
  EXPECT_EQ(t.Rgb(25, 5), 0x00FF00u);
  EXPECT_EQ(t.Rgb(5, 20), 0x00FF00u);
  EXPECT_EQ(t.Rgb(5, 5), 0u);
  // The appended figure spans its rectangle and its corners are arcs of radius 10.
  RectF bounds;
  path.GetBounds(&bounds);
  EXPECT_NEAR(bounds.Width, 60, 0.01);
  EXPECT_NEAR(bounds.Height, 40, 0.01);
  EXPECT_EQ(u.Rgb(40, 11), 0xFFFFFFu);
  EXPECT_EQ(u.Rgb(11, 30), 0xFFFFFFu);
  for (const auto& [x, y] : {std::pair{11, 11}, {68, 11}, {68, 48}, {11, 48}})
    EXPECT_EQ(u.Rgb(x, y), 0u) << x << "," << y;

  PointF p(10, 5);
  MRender::RotatePoint(p, 90, PointF(5, 5));
  EXPECT_NEAR(p.X, 5, 1e-4);
  EXPECT_NEAR(p.Y, 10, 1e-4);
  EXPECT_EQ(MRender::GetOriginPoint(100, 40, 30, 10, 1, 4), CPoint(35, 15));
  EXPECT_EQ(MRender::GetOriginPoint(CRect(10, 20, 110, 60), 30, 10, 1, 4), CPoint(45, 37));
  EXPECT_EQ(MRender::GetImageRect(200, 50, CRect(0, 0, 100, 100)), CRect(0, 37, 100, 62));
}

TEST(MRenderFade, TransitionsBlendRowsColumnsAndTheCorner) {
  // White over black: each row (column) shows its constant alpha as its grey level.
  Surface white(20, 20), rows(20, 10), cols(10, 20), corner(20, 20);
  white.Fill(0xFFFFFFFF);
  EXPECT_EQ(MRender::DrawVerticalTransition(rows.dc(), white.dc(), CRect(0, 0, 20, 10),
                                            CRect(0, 0, 20, 10), 0, 100),
            25);  // the last row: 255 − 9 × 25.5
  EXPECT_TRUE(RgbNear(rows.Rgb(5, 0), 0xFFFFFF, 1));
  EXPECT_TRUE(RgbNear(rows.Rgb(5, 9), 0x191919, 1));
  for (int y = 1; y < 10; ++y)
    EXPECT_LT(render_test::Blue(rows.Rgb(5, y)), render_test::Blue(rows.Rgb(5, y - 1)));
  EXPECT_EQ(MRender::DrawHorizontalTransition(cols.dc(), white.dc(), CRect(0, 0, 10, 20),
                                              CRect(0, 0, 10, 10), 100, 0),
            229);  // rising from 0 at the first column
  EXPECT_EQ(cols.Rgb(0, 10), 0u);
  EXPECT_TRUE(RgbNear(cols.Rgb(9, 10), 0xE5E5E5, 1));
  EXPECT_EQ(MRender::DrawVerticalTransition(rows.dc(), white.dc(), CRect(0, 0, 20, 0),
                                            CRect(0, 0, 20, 10), 0, 100),
            255);

  EXPECT_EQ(MRender::DrawRightBottomTransition(corner.dc(), white.dc(), CRect(0, 0, 20, 20), 5, 0),
            5);
  EXPECT_TRUE(RgbNear(corner.Rgb(15, 15), 0xFFFFFF, 1));  // the square's top-left
  EXPECT_TRUE(RgbNear(corner.Rgb(18, 15), 0x666666, 1));  // distance 3 of 5: 255 − 153
  EXPECT_EQ(corner.Rgb(19, 19), 0u);                      // distance ≥ 5
  EXPECT_EQ(corner.Rgb(14, 15), 0u);                      // outside the square
  EXPECT_EQ(corner.Rgb(15, 14), 0u);
}
