// Device arrival and removal: the device-interface notifications the main window asks for,
// and its handling of WM_DEVICECHANGE, which queues device refreshes on the worker.
#pragma once

#include <windows.h>

#include <hidsdi.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/base/worker_commands.h"

namespace calorix {

// Queues a command on the worker; the main window passes its Worker::Append.
using AppendCommand = std::function<void(WorkerCommand)>;

// Asks for notifications of the USB device, disk, HID and network adapter interface classes
// to `window`, and returns how many of the four registrations succeeded. They are never
// withdrawn: the system releases them at process exit.
int RegisterDeviceNotifications(HWND window);

// Interfaces announced to the main window, checked later on the worker: opening a device may
// block, and the main window's thread must never wait on one.
class ArrivedInterfaces {
 public:
  void Add(std::wstring path);
  // Checks every interface added since the last call (worker thread); returns how many are
  // the display's vendor collection.
  int TakeDisplayInterfaces();

 private:
  std::mutex lock_;
  std::vector<std::wstring> paths_;  // guarded by lock_
};

// The main window's WM_DEVICECHANGE handling. For the arrival or removal of an interface
// whose path carries the display's marker (any case), appends RefreshDevices once; an
// arriving one is also added to `arrived`, where the worker's check gives the display's vendor
// collection one refresh more. Everything else, and a missing or malformed record, appends
// nothing. Returns 0 for every event.
LRESULT OnDeviceChange(WPARAM event, LPARAM record, const AppendCommand& append,
                       ArrivedInterfaces& arrived);

// Whether the interface at `path` is the display's vendor-defined collection (usage page
// 0xFF01, usage 1), read through hid.dll.
bool IsDisplayInterface(const wchar_t* path);

// The hid.dll functions the interface check calls, resolved from the system folder on first
// use. All null when hid.dll or one of them is missing: then no interface passes the check.
struct HidClassFunctions {
  BOOLEAN(WINAPI* get_preparsed_data)(HANDLE, PHIDP_PREPARSED_DATA*) = nullptr;
  NTSTATUS(WINAPI* get_caps)(PHIDP_PREPARSED_DATA, PHIDP_CAPS) = nullptr;
  BOOLEAN(WINAPI* free_preparsed_data)(PHIDP_PREPARSED_DATA) = nullptr;
};

// Tests only: the interface check uses `functions` instead of hid.dll's (null: hid.dll's
// again). Set it while no check runs.
void SetHidClassFunctionsForTesting(const HidClassFunctions* functions);

}  // namespace calorix
