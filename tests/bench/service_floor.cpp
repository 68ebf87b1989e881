// The second, fairer floor for the tray program's steady running: idle_floor's message loop
// with a 1-second timer, after paying once for the system services the tray program is built
// on, as any program using them would: GDI+ started and one skin PNG decoded and kept, COM
// and OLE initialised with a window registered as a drop target, and that window asking for
// device-interface notifications.
//
//   service_floor PNG
#include <windows.h>
#include <dbt.h>
#include <ole2.h>

#include <gdiplus.h>

namespace {

// Refuses every drop; only its registration costs something.
class RefusingDropTarget : public IDropTarget {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = (iid == IID_IUnknown || iid == IID_IDropTarget) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
};

// The HID device-interface class.
constexpr GUID kHidClass = {
    0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR png, int) {
  ULONG_PTR token = 0;
  const Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  Gdiplus::Bitmap background(png);  // decoded once and kept, like a window's background
  ::CoInitialize(nullptr);
  ::OleInitialize(nullptr);
  HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"floor", WS_POPUP, 0, 0, 1, 1,
                                  nullptr, nullptr, nullptr, nullptr);
  RefusingDropTarget drop_target;
  ::RegisterDragDrop(window, &drop_target);
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kHidClass;
  ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  ::SetTimer(nullptr, 0, 1000, nullptr);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  return 0;
}
