// LayeredSurface: a premultiplied 32-bit picture for UpdateLayeredWindow, drawable by GDI+.
#include "ui/core/layered_surface.h"

namespace Zentu {

LayeredSurface::LayeredSurface(int width, int height) {
  if (width <= 0 || height <= 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // positive: bottom-up rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * height * 4;
  dc_.reset(::CreateCompatibleDC(nullptr));
  void* bits = nullptr;
  if (dc_) dib_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib_ || bits == nullptr) return;
  selected_ = SelectInto(dc_.get(), dib_.get());
  width_ = width;
  height_ = height;
  bits_ = static_cast<uint32_t*>(bits);
  // The top row is the last one in memory: a negative stride walks up from there.
  const INT stride = width * 4;
  canvas_ = std::make_unique<Gdiplus::Bitmap>(
      width, height, -stride, PixelFormat32bppPARGB,
      reinterpret_cast<BYTE*>(bits_) + static_cast<size_t>(height - 1) * stride);
}

BOOL LayeredSurface::Present(HWND window, HDC window_dc, const POINT* position) const {
  if (!bits_) return FALSE;
  SIZE size{width_, height_};
  POINT source{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  return ::UpdateLayeredWindow(window, window_dc, const_cast<POINT*>(position), &size, dc_.get(),
                               &source, 0, &blend, ULW_ALPHA);
}

}  // namespace Zentu
