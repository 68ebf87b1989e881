// Device-interface notifications and the main window's device-change handling.
#include "app/device/device_arrival.h"

#include <dbt.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <string>

#include "app/base/handles.h"
#include "app/device/device_broadcast.h"
#include "app/device/device_manager.h"

namespace calorix {

namespace {

// In the order the notifications are asked for: USB device, disk, HID, network adapter.
constexpr std::array<GUID, 4> kNotifiedInterfaceClasses = {{
    {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}},
    {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}},
    {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}},
    {0xAD498944, 0x762F, 0x11D0, {0x8D, 0xCB, 0x00, 0xC0, 0x4F, 0xC3, 0x35, 0x8C}},
}};

static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) == 32, "the filter record is 32 bytes");
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) == kInterfaceRecordHeaderSize);
static_assert(sizeof(wchar_t) == sizeof(char16_t));

template <typename Function>
Function Resolve(HMODULE module, const char* name) {
  // Through void(*)() so the cast between function types is explicit, not a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

HidClassFunctions LoadSystemHid() {
  // By full path from the system folder: the program runs elevated, and a hid.dll placed
  // beside it must not be the one loaded.
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  const std::wstring path = std::wstring(folder, length) + L"\\hid.dll";
  HMODULE module = ::LoadLibraryW(path.c_str());  // stays loaded for the rest of the run
  if (!module) return {};
  HidClassFunctions hid;
  hid.get_preparsed_data =
      Resolve<decltype(hid.get_preparsed_data)>(module, "HidD_GetPreparsedData");
  hid.get_caps = Resolve<decltype(hid.get_caps)>(module, "HidP_GetCaps");
  hid.free_preparsed_data =
      Resolve<decltype(hid.free_preparsed_data)>(module, "HidD_FreePreparsedData");
  if (!hid.get_preparsed_data || !hid.get_caps || !hid.free_preparsed_data) return {};
  return hid;
}

std::atomic<const HidClassFunctions*> g_test_functions{nullptr};  // not owned

const HidClassFunctions& Hid() {
  if (const HidClassFunctions* functions = g_test_functions.load()) return *functions;
  static const HidClassFunctions system = LoadSystemHid();
  return system;
}

}  // namespace

void SetHidClassFunctionsForTesting(const HidClassFunctions* functions) {
  g_test_functions.store(functions);
}

int RegisterDeviceNotifications(HWND window) {
  int registered = 0;
  for (const GUID& interface_class : kNotifiedInterfaceClasses) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = interface_class;
    if (::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE)) ++registered;
  }
  return registered;
}

bool IsDisplayInterface(const wchar_t* path) {
  if (!path || !*path) return false;
  const HidClassFunctions& hid = Hid();
  if (!hid.get_preparsed_data) return false;
  UniqueFileHandle device(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OVERLAPPED, nullptr));
  if (!device) return false;
  PHIDP_PREPARSED_DATA data = nullptr;
  if (!hid.get_preparsed_data(device.get(), &data)) return false;
  HIDP_CAPS caps{};
  const bool read = hid.get_caps(data, &caps) == HIDP_STATUS_SUCCESS;
  hid.free_preparsed_data(data);
  return read && caps.UsagePage == kDisplayUsagePage && caps.Usage == kDisplayUsage;
}

void ArrivedInterfaces::Add(std::wstring path) {
  std::lock_guard<std::mutex> guard(lock_);
  paths_.push_back(std::move(path));
}

int ArrivedInterfaces::TakeDisplayInterfaces() {
  std::vector<std::wstring> paths;
  {
    std::lock_guard<std::mutex> guard(lock_);
    paths.swap(paths_);
  }
  int displays = 0;
  for (const std::wstring& path : paths)
    if (IsDisplayInterface(path.c_str())) ++displays;
  return displays;
}

LRESULT OnDeviceChange(WPARAM event, LPARAM record, const AppendCommand& append,
                       ArrivedInterfaces& arrived) {
  if (!append || (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE)) return 0;
  const std::optional<std::u16string> path =
      BroadcastInterfacePath(reinterpret_cast<const void*>(record));
  if (!path || !PathNamesDisplay(*path)) return 0;
  // The path as received, not upper-cased.
  if (event == DBT_DEVICEARRIVAL) arrived.Add(std::wstring(path->begin(), path->end()));
  append(WorkerCommand::RefreshDevices);
  return 0;
}

}  // namespace calorix
