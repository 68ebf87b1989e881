// CIDropTarget: the OLE drop target a paint manager registers for its window.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include "ui/core/zentu_api.h"

namespace Zentu {

// Embedded in its owner (the paint manager), so the COM reference count never deletes it;
// the registration is revoked before the owner goes away.
class ZENTU_API CIDropTarget : public IDropTarget {
 public:
  CIDropTarget();
  CIDropTarget(const CIDropTarget&) = delete;
  CIDropTarget& operator=(const CIDropTarget&) = delete;
  virtual ~CIDropTarget();

  // Handed the fetched data of a drop in the chosen format. Return false when the medium
  // must not be released (its contents were handed on).
  virtual bool OnDrop(FORMATETC* format, STGMEDIUM& medium, DWORD* effect) = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                 DWORD* effect) override;

  // RegisterDragDrop for the window; false when OLE refused (drops are then impossible).
  bool InitDragDrop(HWND window);
  // Undoes InitDragDrop; OLE holds a reference to this object until then.
  void RevokeDragDrop();
  bool IsDropRegistered() const { return drop_window_ != nullptr; }

 private:
  HWND drop_window_ = nullptr;           // not owned: the registered window
  IDropTargetHelper* helper_ = nullptr;  // owned reference, may stay null
  LONG references_ = 0;
  FORMATETC chosen_{};  // the format picked on DragEnter
  bool has_format_ = false;
};

}  // namespace Zentu
