// PaintManager: what a drop onto the window does, and dragging a control out of it.
#include "ui/paint/paint_manager.h"

#include <shellapi.h>
#include <shlobj.h>

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

// ---- dragging a control out ----

namespace {

HENHMETAFILE MetafileFromBitmap(HBITMAP bitmap) {
  BITMAP info{};
  if (!::GetObjectW(bitmap, sizeof(info), &info)) return nullptr;
  HDC record = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
  if (!record) return nullptr;
  UniqueMemoryDc source(::CreateCompatibleDC(record));
  if (source) {
    UniqueSelection selected = SelectInto(source.get(), bitmap);
    ::BitBlt(record, 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
  }
  return ::CloseEnhMetaFile(record);
}

// Offers one bitmap as CF_BITMAP (TYMED_GDI) and CF_ENHMETAFILE (TYMED_ENHMF); every
// GetData hands out a new copy that the receiver owns.
class BitmapDataObject : public IDataObject {
 public:
  explicit BitmapDataObject(HBITMAP bitmap) : bitmap_(bitmap) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
      *object = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (format == nullptr || medium == nullptr) return E_INVALIDARG;
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    *medium = STGMEDIUM{};
    if (format->cfFormat == CF_BITMAP) {
      medium->tymed = TYMED_GDI;
      medium->hBitmap = static_cast<HBITMAP>(::CopyImage(bitmap_, IMAGE_BITMAP, 0, 0, 0));
      return medium->hBitmap ? S_OK : E_OUTOFMEMORY;
    }
    medium->tymed = TYMED_ENHMF;
    medium->hEnhMetaFile = MetafileFromBitmap(bitmap_);
    return medium->hEnhMetaFile ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    if (format == nullptr) return E_INVALIDARG;
    if (format->cfFormat == CF_BITMAP && (format->tymed & TYMED_GDI)) return S_OK;
    if (format->cfFormat == CF_ENHMETAFILE && (format->tymed & TYMED_ENHMF)) return S_OK;
    return DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (out == nullptr) return E_INVALIDARG;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC formats[] = {{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI},
                           {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF}};
    return ::SHCreateStdEnumFmtEtc(2, formats, out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  HBITMAP bitmap_;  // not owned: the manager's drag bitmap
  ULONG references_ = 1;
};

class DragSource : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDropSource) {
      *object = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    if ((keys & MK_LBUTTON) == 0) return DRAGDROP_S_DROP;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  ULONG references_ = 1;
};

}  // namespace

void PaintManager::StartControlDrag() {
  if (!IsLive()) return;
  RECT window{};
  ::GetWindowRect(m_window.hwnd(), &window);
  ::ClipCursor(&window);
  ReleaseCapture();
  if (m_hDragBitmap) {
    // Both objects live on this stack frame: DoDragDrop is modal and returns before they go.
    BitmapDataObject data(m_hDragBitmap);
    DragSource source;
    IDragSourceHelper* helper = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IDragSourceHelper, reinterpret_cast<void**>(&helper)))) {
      BITMAP info{};
      ::GetObjectW(m_hDragBitmap, sizeof(info), &info);
      SHDRAGIMAGE image{};
      image.sizeDragImage = {info.bmWidth, info.bmHeight};
      image.ptOffset = {info.bmWidth / 2, info.bmHeight / 2};
      // The helper takes the picture it is given; it gets its own copy.
      image.hbmpDragImage = static_cast<HBITMAP>(::CopyImage(m_hDragBitmap, IMAGE_BITMAP, 0, 0, 0));
      image.crColorKey = ::GetSysColor(COLOR_WINDOW);
      if (FAILED(helper->InitializeFromBitmap(&image, &data)) && image.hbmpDragImage)
        ::DeleteObject(image.hbmpDragImage);
      helper->Release();
    }
    DWORD effect = DROPEFFECT_NONE;
    ::DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  }
  m_bDragArmed = 0;
  m_bPressed = 0;
  ::ClipCursor(nullptr);
}

}  // namespace Zentu
