// CIDropTarget: the OLE drop target a paint manager registers for its window.
#include "ui/paint/drop_target.h"

#include "ui/paint/paint_math.h"

namespace Zentu {
namespace {

// The formats a drop can bring, best first.
const FORMATETC kDropFormats[] = {
    {CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI},
    {CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
    {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
    {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF},
};

}  // namespace

CIDropTarget::CIDropTarget() = default;

CIDropTarget::~CIDropTarget() {
  RevokeDragDrop();
  if (helper_) helper_->Release();
}

HRESULT CIDropTarget::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDropTarget) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CIDropTarget::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
ULONG CIDropTarget::Release() { return static_cast<ULONG>(::InterlockedDecrement(&references_)); }

HRESULT CIDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  has_format_ = false;
  for (const FORMATETC& format : kDropFormats) {
    FORMATETC probe = format;
    if (data && data->QueryGetData(&probe) == S_OK) {
      chosen_ = format;
      has_format_ = true;
      break;
    }
  }
  *effect = has_format_ ? paint_math::ChooseDropEffect(keys, *effect) : DROPEFFECT_NONE;
  if (helper_) {
    POINT at{point.x, point.y};
    helper_->DragEnter(drop_window_, data, &at, *effect);
  }
  return S_OK;
}

HRESULT CIDropTarget::DragOver(DWORD keys, POINTL point, DWORD* effect) {
  if (effect == nullptr) return E_INVALIDARG;
  *effect = has_format_ ? paint_math::ChooseDropEffect(keys, *effect) : DROPEFFECT_NONE;
  if (helper_) {
    POINT at{point.x, point.y};
    helper_->DragOver(&at, *effect);
  }
  return S_OK;
}

HRESULT CIDropTarget::DragLeave() {
  if (helper_) helper_->DragLeave();
  has_format_ = false;
  return S_OK;
}

HRESULT CIDropTarget::Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  if (effect == nullptr || data == nullptr) return E_INVALIDARG;
  *effect = has_format_ ? paint_math::ChooseDropEffect(keys, *effect) : DROPEFFECT_NONE;
  if (helper_) {
    POINT at{point.x, point.y};
    helper_->Drop(data, &at, *effect);
  }
  if (has_format_) {
    STGMEDIUM medium{};
    if (SUCCEEDED(data->GetData(&chosen_, &medium))) {
      if (OnDrop(&chosen_, medium, effect)) ::ReleaseStgMedium(&medium);
    }
  }
  has_format_ = false;
  return S_OK;
}

bool CIDropTarget::InitDragDrop(HWND window) {
  if (drop_window_ == window) return true;
  RevokeDragDrop();
  if (FAILED(::RegisterDragDrop(window, this))) return false;
  drop_window_ = window;
  // The shell's drag images are optional: without the helper drops work as before.
  if (helper_ == nullptr &&
      FAILED(::CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IDropTargetHelper, reinterpret_cast<void**>(&helper_))))
    helper_ = nullptr;
  return true;
}

void CIDropTarget::RevokeDragDrop() {
  if (drop_window_ == nullptr) return;
  ::RevokeDragDrop(drop_window_);
  drop_window_ = nullptr;
}

}  // namespace Zentu
