// PaintManager: what a drop onto the window does.
#include "ui/paint/paint_manager.h"

#include <shellapi.h>

#include "ui/core/win_handles.h"
#include "ui/paint/paint_math.h"

namespace Zentu {
namespace {

// Hands `image` to the window as its picture. When the window keeps it (it answers it
// back through STM_GETIMAGE) the image it gave up is deleted; otherwise `image` itself is
// deleted when `ours`, since nobody took it. True when the window kept it.
bool HandImageToWindow(PaintManager& manager, HBITMAP image, bool ours = true) {
  if (image == nullptr) return false;
  const LRESULT previous =
      manager.SendMessageW(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
  const bool kept =
      manager.SendMessageW(STM_GETIMAGE, IMAGE_BITMAP, 0) == reinterpret_cast<LRESULT>(image);
  if (previous && reinterpret_cast<HBITMAP>(previous) != image)
    ::DeleteObject(reinterpret_cast<HGDIOBJ>(previous));
  if (!kept && ours) ::DeleteObject(image);
  return kept;
}

// The block comes from another process: nothing in it is read before the header has been
// checked against the block's real size.
HBITMAP BitmapFromDib(HGLOBAL global) {
  const SIZE_T block_size = global ? ::GlobalSize(global) : 0;
  if (block_size < sizeof(BITMAPINFOHEADER)) return nullptr;
  const auto* info = static_cast<const BITMAPINFO*>(::GlobalLock(global));
  if (info == nullptr) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const auto offset = paint_math::DibBitsOffset(
      {header.biSize, header.biWidth, header.biHeight, header.biPlanes, header.biBitCount,
       header.biCompression, header.biSizeImage, header.biClrUsed},
      block_size);
  HBITMAP bitmap = nullptr;
  if (offset) {
    const BYTE* bits = reinterpret_cast<const BYTE*>(info) + *offset;
    UniqueWindowDc screen = GetWindowDc(nullptr);
    bitmap = ::CreateDIBitmap(screen.get(), &header, CBM_INIT, bits, info, DIB_RGB_COLORS);
  }
  ::GlobalUnlock(global);
  return bitmap;
}

HBITMAP BitmapFromMetafile(HENHMETAFILE metafile) {
  ENHMETAHEADER header{};
  if (!::GetEnhMetaFileHeader(metafile, sizeof(header), &header)) return nullptr;
  UniqueWindowDc screen = GetWindowDc(nullptr);
  // The frame is in hundredths of a millimetre.
  const double px_per_mm_x = static_cast<double>(::GetDeviceCaps(screen.get(), HORZRES)) /
                             ::GetDeviceCaps(screen.get(), HORZSIZE);
  const double px_per_mm_y = static_cast<double>(::GetDeviceCaps(screen.get(), VERTRES)) /
                             ::GetDeviceCaps(screen.get(), VERTSIZE);
  const int width =
      static_cast<int>((header.rclFrame.right - header.rclFrame.left) * px_per_mm_x / 100);
  const int height =
      static_cast<int>((header.rclFrame.bottom - header.rclFrame.top) * px_per_mm_y / 100);
  if (width <= 0 || height <= 0) return nullptr;
  UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen.get(), width, height);
  if (!dc || !bitmap) {
    if (bitmap) ::DeleteObject(bitmap);
    return nullptr;
  }
  UniqueSelection selected = SelectInto(dc.get(), bitmap);
  RECT target{0, 0, width, height};
  ::PlayEnhMetaFile(dc.get(), metafile, &target);
  return bitmap;
}

}  // namespace

bool PaintManager::OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD*) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  // Ends any press in progress; the button message wants client coordinates.
  if (IsLive()) ::ScreenToClient(m_window.hwnd(), &cursor);
  SendMessageW(WM_LBUTTONUP, 0, MAKELPARAM(cursor.x, cursor.y));
  if (format == nullptr) return true;
  switch (format->cfFormat) {
    case CF_DIB:
      HandImageToWindow(*this, BitmapFromDib(medium.hGlobal));
      return true;
    case CF_BITMAP:
      // A bitmap the window keeps is no longer the medium's to free.
      return !HandImageToWindow(*this, medium.hBitmap, false);
    case CF_ENHMETAFILE:
      HandImageToWindow(*this, BitmapFromMetafile(medium.hEnhMetaFile));
      return true;
    case CF_HDROP: {
      wchar_t path[520] = {};
      if (::DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0, path, 520) > 0) {
        HANDLE image =
            ::LoadImageW(nullptr, path, IMAGE_BITMAP, 0, 0, LR_DEFAULTSIZE | LR_LOADFROMFILE);
        HandImageToWindow(*this, static_cast<HBITMAP>(image));
      }
      return true;
    }
    default:
      return true;
  }
}

}  // namespace Zentu
