// MRender's drawing, image loading and bitmap file writing on GDI and GDI+.
#include "ui/paint/mrender.h"

#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <exception>
#include <string>
#include <vector>

#include "ui/core/win_handles.h"
#include "ui/paint/blend_api.h"
#include "ui/paint/render_math.h"

namespace Zentu {

namespace rm = render_math;
using namespace Gdiplus;

namespace {

// A GDI+ object made by a loader is usable only when its status is Ok.
Image* KeepIfOk(Image* image) {
  if (image && image->GetLastStatus() == Ok) return image;
  delete image;
  return nullptr;
}

struct Dib {
  UniqueMemoryDc dc;           // owned
  UniqueGdiObject bitmap;      // owned
  UniqueSelection selection;   // puts the DC's original bitmap back before both go
  uint32_t* pixels = nullptr;  // not owned: the DIB section's memory
};

// A memory DC with a fresh 32-bit DIB section of width × height selected into it.
bool MakeDib(HDC like, int width, int height, Dib& out) {
  out.dc.reset(::CreateCompatibleDC(like));
  if (!out.dc) return false;
  BYTE* bits = nullptr;
  out.bitmap.reset(MRender::CreateARGB32Bitmap(like, width, height, &bits));
  if (!out.bitmap) return false;
  out.pixels = reinterpret_cast<uint32_t*>(bits);
  out.selection = SelectInto(out.dc.get(), out.bitmap.get());
  return true;
}

COLORREF ToColorRef(DWORD argb) {
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

void GradientInBands(HDC dc, const CRect& rect, DWORD first, DWORD second, bool vertical,
                     int steps) {
  const int shift = rm::GradientBandShift(steps);
  const int length = vertical ? rect.Height() : rect.Width();
  for (int k = 0; k < (1 << shift); ++k) {
    const rm::Span span = rm::GradientBandSpan(length, k, shift);
    if (span.end <= span.begin) continue;
    const COLORREF color = ToColorRef(rm::GradientBandColor(first, second, k, shift));
    if (vertical) {
      MRender::FillSolidRect(
          dc, CRect(rect.left, rect.top + span.begin, rect.right, rect.top + span.end), color);
    } else {
      MRender::FillSolidRect(
          dc, CRect(rect.left + span.begin, rect.top, rect.left + span.end, rect.bottom), color);
    }
  }
}

void FillGradient(const render_detail::BlendApi& api, HDC dc, const CRect& rect, DWORD first,
                  DWORD second, bool vertical, int steps) {
  if (!api.gradient_fill) {
    GradientInBands(dc, rect, first, second, vertical, steps);
    return;
  }
  auto vertex = [](LONG x, LONG y, DWORD argb) {
    TRIVERTEX v{};
    v.x = x;
    v.y = y;
    v.Red = static_cast<COLOR16>(((argb >> 16) & 0xFF) << 8);
    v.Green = static_cast<COLOR16>(((argb >> 8) & 0xFF) << 8);
    v.Blue = static_cast<COLOR16>((argb & 0xFF) << 8);
    v.Alpha = 0xFF00;
    return v;
  };
  TRIVERTEX vertices[2] = {vertex(rect.left, rect.top, first),
                           vertex(rect.right, rect.bottom, second)};
  GRADIENT_RECT piece{0, 1};
  api.gradient_fill(dc, vertices, 2, &piece, 1,
                    vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

int DrawTransition(HDC dest, HDC source, const CRect& dr, const CRect& sr, int p1, int p2,
                   bool vertical) {
  const auto alpha_blend = render_detail::PlatformBlendApi().alpha_blend;
  const int count = vertical ? dr.Height() : dr.Width();
  int alpha = 255;
  for (int i = 0; i < count; ++i) {
    alpha = rm::TransitionAlpha(p1, p2, count, i);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(alpha), 0};
    if (vertical) {
      const int src_row = sr.top + static_cast<int>(int64_t{i} * sr.Height() / count);
      alpha_blend(dest, dr.left, dr.top + i, dr.Width(), 1, source, sr.left, src_row, sr.Width(), 1,
                  blend);
    } else {
      const int src_col = sr.left + static_cast<int>(int64_t{i} * sr.Width() / count);
      alpha_blend(dest, dr.left + i, dr.top, 1, dr.Height(), source, src_col, sr.top, 1,
                  sr.Height(), blend);
    }
  }
  return alpha;
}

void AddRoundPath(GraphicsPath& path, REAL x, REAL y, REAL w, REAL h, REAL rx, REAL ry) {
  const REAL dx = 2 * rx, dy = 2 * ry;
  const bool arcs = rx > 0 && ry > 0;
  path.AddLine(x + rx, y, x + w - rx, y);
  if (arcs) path.AddArc(x + w - dx, y, dx, dy, 270, 90);
  path.AddLine(x + w, y + ry, x + w, y + h - ry);
  if (arcs) path.AddArc(x + w - dx, y + h - dy, dx, dy, 0, 90);
  path.AddLine(x + w - rx, y + h, x + rx, y + h);
  if (arcs) path.AddArc(x, y + h - dy, dx, dy, 90, 90);
  path.AddLine(x, y + h - ry, x, y + ry);
  if (arcs) path.AddArc(x, y, dx, dy, 180, 90);
  path.CloseFigure();
}

struct PathBounds {
  RectF bounds;
  REAL line_height = 0;
};

PathBounds MeasurePath(Font* font, const StringFormat* format, const RectF& layout,
                       const CString& text) {
  PathBounds out;
  FontFamily family;
  if (font->GetFamily(&family) != Ok) return out;
  // Wine's AddString fails without a format; the default one is what a null means.
  StringFormat fallback;
  GraphicsPath path;
  path.AddString(text.GetString(), -1, &family, font->GetStyle(), font->GetSize(), layout,
                 format ? format : &fallback);
  path.GetBounds(&out.bounds);
  out.line_height = font->GetHeight(0.0f);
  return out;
}

}  // namespace

// ---------------------------------------------------------------- blend functions

namespace render_detail {

const BlendApi& PlatformBlendApi() {
  static const BlendApi api = [] {
    BlendApi resolved{&OwnAlphaBlend, nullptr};
    // Kept loaded for the life of the process, as the resolved addresses are. By full path
    // from the system folder: a program that uses the library may run elevated, and an
    // msimg32.dll beside it or in the current directory must not be the one loaded.
    HMODULE msimg = nullptr;
    wchar_t system[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      msimg = ::LoadLibraryW((std::wstring(system, length) + L"\\msimg32.dll").c_str());
    }
    if (msimg) {
      if (auto p = ::GetProcAddress(msimg, "AlphaBlend"))
        resolved.alpha_blend = reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(p));
      if (auto p = ::GetProcAddress(msimg, "GradientFill"))
        resolved.gradient_fill = reinterpret_cast<GradientFillFn>(reinterpret_cast<void*>(p));
    }
    return resolved;
  }();
  return api;
}

BOOL WINAPI OwnAlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int src_x,
                          int src_y, int src_width, int src_height, BLENDFUNCTION blend) {
  if (width <= 0 || height <= 0) return 0;
  Dib src, dst;
  if (!MakeDib(dest, width, height, src) || !MakeDib(dest, width, height, dst)) return 0;
  ::SetStretchBltMode(src.dc.get(), COLORONCOLOR);
  ::StretchBlt(src.dc.get(), 0, 0, width, height, source, src_x, src_y, src_width, src_height,
               SRCCOPY);
  ::BitBlt(dst.dc.get(), 0, 0, width, height, dest, x, y, SRCCOPY);
  ::GdiFlush();
  // Without AC_SRC_ALPHA the platform ignores the source's alpha bytes; so does this.
  const uint32_t opaque = (blend.AlphaFormat & AC_SRC_ALPHA) ? 0 : 0xFF000000u;
  const size_t count = size_t(width) * size_t(height);
  for (size_t i = 0; i < count; ++i)
    dst.pixels[i] =
        rm::BlendPixel(dst.pixels[i], src.pixels[i] | opaque, blend.SourceConstantAlpha);
  ::BitBlt(dest, x, y, width, height, dst.dc.get(), 0, 0, SRCCOPY);
  return 1;
}

void DrawGradientWith(const BlendApi& api, HDC dc, const CRect& rect, DWORD first, DWORD second,
                      bool vertical, int steps) {
  const uint8_t alpha = rm::AverageAlpha(first, second);
  if (alpha == 0 || rect.IsRectEmpty()) return;
  if (alpha == 255) {
    FillGradient(api, dc, rect, first, second, vertical, steps);
    return;
  }
  const int w = rect.Width(), h = rect.Height();
  Dib temp;
  if (!MakeDib(dc, w, h, temp)) return;
  FillGradient(api, temp.dc.get(), CRect(0, 0, w, h), first, second, vertical, steps);
  ::GdiFlush();
  // GDI fills leave the alpha bytes 0; the blend below reads them (AC_SRC_ALPHA), so the
  // gradient is made opaque first and the constant alpha alone sets its weight.
  for (size_t i = 0; i < size_t(w) * size_t(h); ++i) temp.pixels[i] |= 0xFF000000u;
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
  api.alpha_blend(dc, rect.left, rect.top, w, h, temp.dc.get(), 0, 0, w, h, blend);
}

}  // namespace render_detail

// ---------------------------------------------------------------- images and icons

Image* MRender::LoadImageFromFile(CString path) {
  return KeepIfOk(Image::FromFile(path.GetString(), FALSE));
}

Image* MRender::LoadImageFromFileEx(CString path, int width, int height) {
  if (width < 0 || height < 0) return nullptr;
  Image* image = LoadImageFromFile(path);
  if (!image) return nullptr;
  if (width == 0 && height == 0) {
    width = static_cast<int>(image->GetWidth());
    height = static_cast<int>(image->GetHeight());
  }
  Image* thumbnail = image->GetThumbnailImage(width, height, nullptr, nullptr);
  delete image;
  return KeepIfOk(thumbnail);
}

Image* MRender::LoadImageFromIDResource(UINT id, CString type, HINSTANCE instance) {
  HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(id), type.GetString());
  if (!found) return nullptr;
  const DWORD size = ::SizeofResource(instance, found);
  HGLOBAL loaded = ::LoadResource(instance, found);
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data || size == 0) return nullptr;
  HGLOBAL block = ::GlobalAlloc(GMEM_FIXED, size);
  if (!block) return nullptr;
  std::memcpy(reinterpret_cast<void*>(block), data, size);
  IStream* stream = nullptr;
  // The stream owns the block and frees it with its last reference; an image that reads
  // from the stream later holds one of those for as long as it lives.
  if (FAILED(::CreateStreamOnHGlobal(block, TRUE, &stream)) || !stream) {
    ::GlobalFree(block);
    return nullptr;
  }
  Image* image = KeepIfOk(Image::FromStream(stream, FALSE));
  stream->Release();
  return image;
}

HICON MRender::LoadIconFromFile(CString path) {
  // The shell may write the associated program's path back into the buffer.
  wchar_t buffer[MAX_PATH] = {};
  if (path.GetLength() >= MAX_PATH) return nullptr;  // would name a different file
  std::wmemcpy(buffer, path.GetString(), path.GetLength());
  WORD index = 0;
  return ::ExtractAssociatedIconW(::GetModuleHandleW(nullptr), buffer, &index);
}

void MRender::CheckAlphaColor(ARGB& color) { color = rm::NudgeBlack(color); }

// ---------------------------------------------------------------- fills

void MRender::FillSolidRect(HDC dc, const CRect& rect, COLORREF color) {
  ::SetBkColor(dc, color);
  ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void MRender::FillSolidRect(HDC dc, int x, int y, int width, int height, COLORREF color) {
  FillSolidRect(dc, CRect(x, y, x + width, y + height), color);
}

void MRender::DrawColor(HDC dc, const CRect& rect, ARGB color) {
  if (!rm::HasAlpha(color)) return;
  Graphics graphics(dc);
  SolidBrush brush{Color(color)};
  graphics.FillRectangle(&brush, rect.left, rect.top, rect.Width(), rect.Height());
}

void MRender::DrawGradient(HDC dc, const CRect& rect, ARGB first, ARGB second, bool vertical,
                           int steps) {
  render_detail::DrawGradientWith(render_detail::PlatformBlendApi(), dc, rect, first, second,
                                  vertical, steps);
}

// Part of the exported interface; it has never drawn anything, and callers rely on that.
void MRender::DrawRectangle(HDC, const CRect&, int, int, int) {}

// ---------------------------------------------------------------- text

void MRender::DrawTextW(HDC dc, const CRect& rect, const wchar_t* text, COLORREF color, HFONT font,
                        UINT format) {
  if (!text) return;
  ::SetBkMode(dc, TRANSPARENT);
  const COLORREF old_color = ::SetTextColor(dc, color);
  HGDIOBJ old_font = font ? ::SelectObject(dc, font) : nullptr;
  RECT r = rect;
  ::DrawTextW(dc, text, -1, &r, format);
  if (old_font) ::SelectObject(dc, old_font);
  ::SetTextColor(dc, old_color);
}

Size MRender::GetTextBounds(Font* font, CString text) {
  StringFormat format(StringFormatFlagsNoWrap | StringFormatFlagsMeasureTrailingSpaces);
  format.SetAlignment(StringAlignmentNear);
  return GetTextBounds(font, &format, text);
}

Size MRender::GetTextBounds(Font* font, const StringFormat* format, CString text) {
  if (!font) return Size(0, 0);
  const PathBounds m = MeasurePath(font, format, RectF(0, 0, 0, 0), text);
  return Size(rm::TextWidth(m.bounds.Width), rm::TextLineHeight(m.line_height));
}

Size MRender::GetTextBounds(Font* font, const StringFormat* format, int width, CString text) {
  if (!font) return Size(0, 0);
  const PathBounds m = MeasurePath(font, format, RectF(0, 0, static_cast<REAL>(width), 0), text);
  return Size(rm::TextWidth(m.bounds.Width), rm::TextBlockHeight(m.line_height, m.bounds.Height));
}

// ---------------------------------------------------------------- nine-grid frames

void MRender::DrawImageFrame(Graphics* graphics, Image* image, const CRect& dest, int src_x,
                             int src_y, int src_width, int src_height, int corner) {
  DrawImageFrameMID(graphics, image, dest, src_x, src_y, src_width, src_height, corner, corner,
                    corner, corner);
}

void MRender::DrawImageFrameMID(Graphics* graphics, Image* image, const CRect& dest, int src_x,
                                int src_y, int src_width, int src_height, int left, int top,
                                int right, int bottom) {
  if (!graphics || !image) return;
  // Sampling past a piece's edge would blend in the neighbouring piece (or transparency
  // at the image border); mirroring the piece's own pixels keeps the seams clean.
  ImageAttributes attributes;
  attributes.SetWrapMode(WrapModeTileFlipXY);
  const auto pieces =
      rm::NineGridPieces(dest, {src_x, src_y, src_width, src_height}, {left, top, right, bottom});
  for (const rm::FramePiece& p : pieces) {
    // An empty or inverted piece would draw nothing or a mirrored image.
    if (p.dest.empty() || p.source.empty()) continue;
    graphics->DrawImage(image, Rect(p.dest.x, p.dest.y, p.dest.width, p.dest.height), p.source.x,
                        p.source.y, p.source.width, p.source.height, UnitPixel, &attributes);
  }
}

// ---------------------------------------------------------------- shapes and geometry

void MRender::DrawRoundRectange(Graphics* graphics, int x, int y, int width, int height, int radius,
                                ARGB fill) {
  if (!graphics) return;
  GraphicsPath path;
  const REAL r = static_cast<REAL>(radius > 0 ? radius : 0);
  AddRoundPath(path, REAL(x), REAL(y), REAL(width), REAL(height), r, r);
  SolidBrush brush{Color(fill)};
  graphics->FillPath(&brush, &path);
}

void MRender::DrawRoundRectange(Graphics* graphics, int x, int y, int width, int height,
                                int divisor, ARGB pen_color, float pen_width, BOOL fill,
                                ARGB fill_color) {
  if (!graphics) return;
  const rm::Radii r = rm::OutlineRadii(width, height, divisor);
  GraphicsPath path;
  AddRoundPath(path, REAL(x), REAL(y), REAL(width), REAL(height), r.x, r.y);
  if (fill) {
    SolidBrush brush{Color(fill_color)};
    graphics->FillPath(&brush, &path);
  }
  Pen pen(Color(pen_color), pen_width);
  graphics->DrawPath(&pen, &path);
}

void MRender::AddRoundedRectangle(GraphicsPath* path, int x, int y, int width, int height,
                                  int radius) {
  if (!path) return;
  const int d = 2 * radius;
  path->AddArc(x, y, d, d, 180, 90);
  path->AddLine(x + radius, y, x + width - d, y);
  path->AddArc(x + width - d, y, d, d, 270, 90);
  path->AddLine(x + width, y + radius, x + width, y + height - d);
  path->AddArc(x + width - d, y + height - d, d, d, 0, 90);
  path->AddLine(x + width - d, y + height, x + radius, y + height);
  path->AddArc(x, y + height - d, d, d, 90, 90);
  path->CloseFigure();
}

void MRender::RotatePoint(PointF& point, float angle, PointF center) {
  rm::RotatePoint(point.X, point.Y, angle, center.X, center.Y);
}

CPoint MRender::GetOriginPoint(int container_width, int container_height, int item_width,
                               int item_height, UINT horizontal, UINT vertical) {
  return rm::OriginOffset(container_width, container_height, item_width, item_height, horizontal,
                          vertical);
}

CPoint MRender::GetOriginPoint(const CRect& rect, int item_width, int item_height, UINT horizontal,
                               UINT vertical) {
  return rm::OriginInRect(rect, item_width, item_height, horizontal, vertical);
}

CRect MRender::GetImageRect(int image_width, int image_height, const CRect& box) {
  return rm::FitImageRect(image_width, image_height, box);
}

// ---------------------------------------------------------------- surfaces

HDC MRender::CreateCompatibleDC(HDC dc) { return ::CreateCompatibleDC(dc); }

HBITMAP MRender::CreateCompatibleBitmap(HDC dc, int width, int height) {
  return ::CreateCompatibleBitmap(dc, width, height);
}

HBITMAP MRender::CreateARGB32Bitmap(HDC dc, int width, int height, BYTE** bits) {
  if (bits) *bits = nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap && bits) *bits = static_cast<BYTE*>(pixels);
  return bitmap;
}

BOOL MRender::BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int src_x,
                     int src_y, DWORD rop) {
  return ::BitBlt(dest, x, y, width, height, source, src_x, src_y, rop);
}

// ---------------------------------------------------------------- fades

int MRender::DrawVerticalTransition(HDC dest, HDC source, const CRect& dest_rect,
                                    const CRect& src_rect, int first_percent, int second_percent) {
  return DrawTransition(dest, source, dest_rect, src_rect, first_percent, second_percent, true);
}

int MRender::DrawHorizontalTransition(HDC dest, HDC source, const CRect& dest_rect,
                                      const CRect& src_rect, int first_percent,
                                      int second_percent) {
  return DrawTransition(dest, source, dest_rect, src_rect, first_percent, second_percent, false);
}

int MRender::DrawRightBottomTransition(HDC dest, HDC source, const CRect& rect, int corner,
                                       COLORREF) {
  if (corner <= 0) return corner;
  const auto alpha_blend = render_detail::PlatformBlendApi().alpha_blend;
  const int n = corner, width = rect.Width(), height = rect.Height();
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      const int x = width - n + i, y = height - n + j;
      const BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(rm::CornerFadeAlpha(n, i, j)), 0};
      alpha_blend(dest, x, y, 1, 1, source, x, y, 1, 1, blend);
    }
  }
  return corner;
}

// ---------------------------------------------------------------- bitmap files

int MRender::SaveBitmapToFile(HBITMAP bitmap, CString path) {
  BITMAP bm{};
  if (!bitmap || !::GetObjectW(bitmap, sizeof(bm), &bm)) return 0;
  const int width = bm.bmWidth, height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;

  UniqueWindowDc screen = GetWindowDc(nullptr);
  if (!screen) return 0;
  const int depth = rm::BitmapFileDepth(::GetDeviceCaps(screen.get(), PLANES) *
                                        ::GetDeviceCaps(screen.get(), BITSPIXEL));
  const uint32_t palette_entries = depth <= 8 ? (1u << depth) : 0;
  std::array<uint8_t, rm::kBitmapHeaderSize> header;
  if (!rm::BitmapFileHeader(width, height, depth, palette_entries, header)) return 0;

  // Room for the colour table that GetDIBits fills at 8 bits or fewer.
  std::vector<uint8_t> info_bytes(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(info_bytes.data());
  std::memcpy(&info->bmiHeader, header.data() + 14, sizeof(BITMAPINFOHEADER));
  // The header check bounds the file to 4 GiB, which a 32-bit process cannot hold: a
  // failed allocation is a failed save, never an exception out of the library.
  std::vector<uint8_t> pixels;
  try {
    pixels.resize(size_t(rm::BitmapRowSize(depth, width)) * size_t(height));
  } catch (const std::exception&) {
    return 0;
  }
  HPALETTE palette = static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE));
  HPALETTE old_palette = ::SelectPalette(screen.get(), palette, FALSE);
  ::RealizePalette(screen.get());
  const int rows = ::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(),
                               info, DIB_RGB_COLORS);
  if (old_palette) ::SelectPalette(screen.get(), old_palette, TRUE);
  if (rows != height) return 0;

  UniqueFileHandle file(::CreateFileW(path.GetString(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return 0;
  auto write = [&](const void* data, size_t size) {
    DWORD written = 0;
    return ::WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) &&
           written == size;
  };
  const bool ok = write(header.data(), header.size()) &&
                  write(info->bmiColors, palette_entries * sizeof(RGBQUAD)) &&
                  write(pixels.data(), pixels.size());
  file.reset();
  if (!ok) ::DeleteFileW(path.GetString());
  return ok ? 1 : 0;
}

}  // namespace Zentu
