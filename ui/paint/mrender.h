// MRender: the library's stateless drawing toolbox (images, icons, fills, frames, text, fades).
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include "ui/core/cstring.h"
#include "ui/core/geometry.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

// Only static members. Colours: COLORREF (0x00BBGGRR) where the GDI takes one, ARGB
// (0xAARRGGBB) for everything drawn through GDI+; an ARGB with alpha 0 draws nothing.
// Every image returned is new, created on the GDI+ heap, and owned by the caller.
class ZENTU_API MRender {
 public:
  MRender() = delete;

  // ---- images and icons (callers pass full paths) ----
  static Gdiplus::Image* LoadImageFromFile(CString path);
  // A thumbnail of exactly width × height; both 0 means the image's own size.
  static Gdiplus::Image* LoadImageFromFileEx(CString path, int width, int height);
  // The resource's bytes are copied into a global block that the image reads from for its
  // whole life, so that block stays allocated after the image is deleted.
  static Gdiplus::Image* LoadImageFromIDResource(UINT id, CString type, HINSTANCE instance);
  // The file's own first icon (.ico, .exe) or its associated program's; caller destroys it.
  static HICON LoadIconFromFile(CString path);

  // Pure black (red, green and blue 0) becomes blue 1 with the same alpha.
  static void CheckAlphaColor(Gdiplus::ARGB& color);

  // ---- fills ----
  // Leaves `color` as the DC's background colour.
  static void FillSolidRect(HDC dc, const CRect& rect, COLORREF color);
  static void FillSolidRect(HDC dc, int x, int y, int width, int height, COLORREF color);
  static void DrawColor(HDC dc, const CRect& rect, Gdiplus::ARGB color);
  // Blends at the average of the two alphas; `steps` chooses the band count when the
  // platform's GradientFill is missing.
  static void DrawGradient(HDC dc, const CRect& rect, Gdiplus::ARGB first, Gdiplus::ARGB second,
                           bool vertical, int steps);
  static void DrawRectangle(HDC dc, const CRect& rect, int a, int b, int c);

  // ---- text ----
  // Null text draws nothing. The DC is left in transparent background mode.
  static void DrawTextW(HDC dc, const CRect& rect, const wchar_t* text, COLORREF color, HFONT font,
                        UINT format);
  // Width and height in whole pixels of text set in `font`, measured through a GDI+ path.
  static Gdiplus::Size GetTextBounds(Gdiplus::Font* font, CString text);
  static Gdiplus::Size GetTextBounds(Gdiplus::Font* font, const Gdiplus::StringFormat* format,
                                     CString text);
  static Gdiplus::Size GetTextBounds(Gdiplus::Font* font, const Gdiplus::StringFormat* format,
                                     int width, CString text);

  // ---- nine-grid frames ----
  static void DrawImageFrame(Gdiplus::Graphics* graphics, Gdiplus::Image* image, const CRect& dest,
                             int src_x, int src_y, int src_width, int src_height, int corner);
  static void DrawImageFrameMID(Gdiplus::Graphics* graphics, Gdiplus::Image* image,
                                const CRect& dest, int src_x, int src_y, int src_width,
                                int src_height, int left, int top, int right, int bottom);

  // ---- shapes and geometry ----
  static void DrawRoundRectange(Gdiplus::Graphics* graphics, int x, int y, int width, int height,
                                int radius, Gdiplus::ARGB fill);
  // Radii are width (height) / divisor / 2; filled first when `fill` is set, then outlined.
  static void DrawRoundRectange(Gdiplus::Graphics* graphics, int x, int y, int width, int height,
                                int divisor, Gdiplus::ARGB pen_color, float pen_width, BOOL fill,
                                Gdiplus::ARGB fill_color);
  static void AddRoundedRectangle(Gdiplus::GraphicsPath* path, int x, int y, int width, int height,
                                  int radius);
  static void RotatePoint(Gdiplus::PointF& point, float angle, Gdiplus::PointF center);
  // Offset of an item in a container: horizontal 0 left, 1 centre, 2 right; vertical
  // 0 top, 4 centre, 8 bottom.
  static CPoint GetOriginPoint(int container_width, int container_height, int item_width,
                               int item_height, UINT horizontal, UINT vertical);
  // Absolute position in `rect`, two pixels lower than the size form.
  static CPoint GetOriginPoint(const CRect& rect, int item_width, int item_height, UINT horizontal,
                               UINT vertical);
  // The image fitted (aspect kept) and centred in `box`.
  static CRect GetImageRect(int image_width, int image_height, const CRect& box);

  // ---- surfaces ----
  static HDC CreateCompatibleDC(HDC dc);
  static HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
  // A bottom-up 32-bit B,G,R,A DIB section; `bits` receives its pixels (null on failure).
  static HBITMAP CreateARGB32Bitmap(HDC dc, int width, int height, BYTE** bits);
  static BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int src_x,
                     int src_y, DWORD rop = SRCCOPY);

  // ---- fades: one constant-alpha blend per row, column or pixel; for small areas ----
  // Return the alpha of the last row (column); 255 for an empty rectangle.
  static int DrawVerticalTransition(HDC dest, HDC source, const CRect& dest_rect,
                                    const CRect& src_rect, int first_percent, int second_percent);
  static int DrawHorizontalTransition(HDC dest, HDC source, const CRect& dest_rect,
                                      const CRect& src_rect, int first_percent, int second_percent);
  // Radial fade of the corner × corner square at the bottom right of `rect` (taken at
  // origin 0,0); `color` is not used. Returns the corner size.
  static int DrawRightBottomTransition(HDC dest, HDC source, const CRect& rect, int corner,
                                       COLORREF color);

  // Writes the bitmap as a .bmp file at the display's depth (24-bit on current displays).
  // 1 when the whole file was written, else 0 (a partial file is removed).
  static int SaveBitmapToFile(HBITMAP bitmap, CString path);
};

}  // namespace Zentu
