// DragBitmapOut: a bitmap dragged out of the window through OLE drag and drop.
#include "ui/paint/bitmap_drag.h"

#include <shlobj.h>

#include "ui/core/win_handles.h"

namespace Zentu {
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
  HBITMAP bitmap_;  // not owned: the bitmap being dragged
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

void DragBitmapOut(HBITMAP bitmap) {
  // Both objects live on this stack frame: DoDragDrop is modal and returns before they go.
  BitmapDataObject data(bitmap);
  DragSource source;
  IDragSourceHelper* helper = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IDragSourceHelper, reinterpret_cast<void**>(&helper)))) {
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof(info), &info);
    SHDRAGIMAGE image{};
    image.sizeDragImage = {info.bmWidth, info.bmHeight};
    image.ptOffset = {info.bmWidth / 2, info.bmHeight / 2};
    // The helper takes the picture it is given; it gets its own copy.
    image.hbmpDragImage = static_cast<HBITMAP>(::CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0));
    image.crColorKey = ::GetSysColor(COLOR_WINDOW);
    if (FAILED(helper->InitializeFromBitmap(&image, &data)) && image.hbmpDragImage)
      ::DeleteObject(image.hbmpDragImage);
    helper->Release();
  }
  DWORD effect = DROPEFFECT_NONE;
  ::DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
}

}  // namespace Zentu
