// LayeredSurface: a premultiplied 32-bit picture for UpdateLayeredWindow, drawable by GDI+.
#pragma once

#include <windows.h>
// GDI+ needs the COM declarations that WIN32_LEAN_AND_MEAN leaves out of <windows.h>.
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

#include "ui/core/win_handles.h"

namespace Zentu {

// A bottom-up 32-bit DIB section selected into a memory DC, with a GDI+ bitmap over the same
// pixels. GDI+ draws through that bitmap as premultiplied ARGB: a graphics made on the DC
// would take the pixels as RGB and, on Windows, leave the alpha of what it draws at 0.
class LayeredSurface {
 public:
  // Empty (false) when the size is not positive or the bitmap cannot be made.
  LayeredSurface(int width, int height);
  LayeredSurface(const LayeredSurface&) = delete;
  LayeredSurface& operator=(const LayeredSurface&) = delete;

  explicit operator bool() const { return bits_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Rows bottom-up, 0xAARRGGBB values with premultiplied colour; all 0 when made.
  uint32_t* pixels() const { return bits_; }
  Gdiplus::Bitmap* bitmap() const { return canvas_.get(); }
  // UpdateLayeredWindow with per-pixel alpha, the whole surface, at `position` (null: where
  // the window is); `window_dc` may be null.
  BOOL Present(HWND window, HDC window_dc, const POINT* position) const;

 private:
  int width_ = 0, height_ = 0;
  uint32_t* bits_ = nullptr;                 // not owned: the DIB section's pixels
  UniqueMemoryDc dc_;                        // owned
  UniqueGdiObject dib_;                      // owned
  UniqueSelection selected_;                 // puts the DC's own bitmap back first
  std::unique_ptr<Gdiplus::Bitmap> canvas_;  // owned: reads and writes bits_
};

}  // namespace Zentu
