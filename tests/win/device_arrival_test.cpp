// Device arrival and removal under Wine: WM_DEVICECHANGE with real broadcast records, sent to
// a real window whose procedure hands them to OnDeviceChange, which queues refreshes on the
// main window's worker; the refreshes run the device manager against the hidapi double.
#include "app/device/device_arrival.h"

#include <dbt.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "app/device/device_manager.h"
#include "app/shell/worker_win.h"
#include "tests/doubles/hidapi_double.h"

namespace calorix {
namespace {

// hid.dll's answers for the files that stand in for HID interfaces: a file of 4 bytes holds
// the collection's usage page and usage, one of 2 bytes has capabilities that cannot be
// read, and an empty one is no HID collection at all.
struct FakePreparsedData {
  bool caps_readable;
  USHORT usage_page, usage;
};
int g_live_preparsed_data = 0;  // handed out and not freed yet

BOOLEAN WINAPI FakeGetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) {
  USHORT words[2] = {};
  OVERLAPPED overlapped{};  // the check opens the interface for overlapped use
  overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD read = 0;
  if (::ReadFile(device, words, sizeof words, nullptr, &overlapped) ||
      ::GetLastError() == ERROR_IO_PENDING)
    ::GetOverlappedResult(device, &overlapped, &read, TRUE);
  ::CloseHandle(overlapped.hEvent);
  if (read == 0) return FALSE;
  ++g_live_preparsed_data;
  *data = reinterpret_cast<PHIDP_PREPARSED_DATA>(
      new FakePreparsedData{read == sizeof words, words[0], words[1]});
  return TRUE;
}

NTSTATUS WINAPI FakeGetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
  const auto* fake = reinterpret_cast<const FakePreparsedData*>(data);
  if (!fake->caps_readable) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  caps->UsagePage = fake->usage_page;
  caps->Usage = fake->usage;
  return HIDP_STATUS_SUCCESS;
}

BOOLEAN WINAPI FakeFreePreparsedData(PHIDP_PREPARSED_DATA data) {
  --g_live_preparsed_data;
  delete reinterpret_cast<FakePreparsedData*>(data);
  return TRUE;
}

const HidClassFunctions kFakeHid{FakeGetPreparsedData, FakeGetCaps, FakeFreePreparsedData};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DEVICECHANGE) {
    auto* worker = reinterpret_cast<Worker*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return OnDeviceChange(wparam, lparam, [worker](WorkerCommand c) { worker->Append(c); });
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

constexpr std::size_t kHeader = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);

// A device-interface broadcast as the system sends it: header, then the zero-ended path.
std::vector<unsigned char> InterfaceRecord(const std::wstring& path) {
  std::vector<unsigned char> bytes(kHeader + 2 * (path.size() + 1));
  auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
  record->dbcc_size = static_cast<DWORD>(bytes.size());
  record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(record->dbcc_name, path.c_str(), 2 * path.size());
  return bytes;
}

// The interfaces a display announces: its USB device, a keyboard collection and its
// vendor collection.
struct Display {
  std::wstring usb, keys, vendor;
};

class DeviceArrivalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeviceManager::Instance().ResetForTesting();
    hid_double::Reset();
    SetHidClassFunctionsForTesting(&kFakeHid);
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"calorix_arrival\\";
    ::CreateDirectoryW(folder_.c_str(), nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CalorixArrivalTestWindow";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, wc.lpszClassName, L"main", WS_POPUP, 0, 0, 340, 250, nullptr,
                                nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&worker_));
    ConnectMainWindowWorker(worker_, window_, temperature_, [] { return 0; });
  }
  void TearDown() override {
    ::DestroyWindow(window_);
    SetHidClassFunctionsForTesting(nullptr);
    for (const std::wstring& file : files_) ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(folder_.c_str());
    EXPECT_EQ(g_live_preparsed_data, 0);
    DeviceManager::Instance().ResetForTesting();
    EXPECT_EQ(hid_double::OpenHandles(), 0);
  }

  // Delivers a device change the way the system does, and returns how many commands it
  // queued; the window's answer must be 0 whatever the event.
  std::size_t Deliver(WPARAM event, const void* record) {
    const std::size_t before = worker_.QueuedCount();
    EXPECT_EQ(::SendMessageW(window_, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record)), 0);
    return worker_.QueuedCount() - before;
  }
  std::size_t Send(WPARAM event, const std::wstring& path) {
    return Deliver(event, InterfaceRecord(path).data());
  }
  // Runs the queued commands one per step, as the worker does.
  void Drain() {
    while (worker_.QueuedCount() > 0) worker_.Run();
  }
  int Count() { return DeviceManager::Instance().DeviceCount(); }

  // A file standing in for a HID interface: `content` is what hid.dll reads from it.
  std::wstring Interface(const std::wstring& name, std::vector<USHORT> content) {
    const std::wstring file = folder_ + name + L"#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(h, content.data(), static_cast<DWORD>(2 * content.size()), &written, nullptr);
    ::CloseHandle(h);
    files_.push_back(file);
    return L"\\\\?\\" + file;
  }
  Display Plug(const std::string& name) {
    for (const char* col : {"&col01", "&col02"}) {
      hid_double::Collection c;
      c.path = name + col;
      if (c.path.ends_with("&col01")) c.usage_page = 0x0001, c.usage = 0x06;
      hid_double::AddCollection(c);
    }
    const std::wstring id(name.begin(), name.end());
    return {L"\\\\?\\USB#VID_1A2C&PID_444D#" + id + L"#{a5dcbf10-6530-11d2-901f-00c04fb951ed}",
            Interface(L"HID#VID_1A2C&PID_444D&MI_00&Col01#" + id, {0x0001, 0x06}),
            Interface(L"HID#VID_1A2C&PID_444D&MI_00&Col02#" + id, {0xFF01, 1})};
  }
  // Arrival: one refresh per interface, and one more for the vendor collection.
  void Arrive(const Display& d) {
    EXPECT_EQ(Send(DBT_DEVICEARRIVAL, d.usb), 1u);
    EXPECT_EQ(Send(DBT_DEVICEARRIVAL, d.keys), 1u);
    EXPECT_EQ(Send(DBT_DEVICEARRIVAL, d.vendor), 2u);
  }
  void Remove(const std::string& name, const Display& d) {
    hid_double::Unplug(name);
    for (const std::wstring* path : {&d.usb, &d.keys, &d.vendor}) {
      EXPECT_EQ(Send(DBT_DEVICEREMOVECOMPLETE, *path), 1u);
    }
  }

  std::wstring folder_;
  std::vector<std::wstring> files_;
  HWND window_ = nullptr;
  TemperatureMapping temperature_;  // declared before the worker: outlives it
  Worker worker_;
};

TEST_F(DeviceArrivalTest, PluggingAndUnpluggingUpdatesTheCountWithoutARestart) {
  EXPECT_EQ(RegisterDeviceNotifications(window_), 4);
  worker_.Append(WorkerCommand::RefreshDevices);  // the start-up refresh
  Drain();
  EXPECT_EQ(Count(), 0);

  const Display a = Plug("A");
  Arrive(a);
  Drain();
  EXPECT_EQ(Count(), 1);
  const Display b = Plug("B");
  Arrive(b);
  Drain();
  EXPECT_EQ(Count(), 2);
  Remove("A", a);
  Drain();
  EXPECT_EQ(Count(), 1);
  Remove("B", b);
  Drain();
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(hid_double::OpenHandles(), 0);
  EXPECT_NE(temperature_.block, nullptr);  // the refreshes mapped the block as well
}

TEST_F(DeviceArrivalTest, OtherPathsEventsAndMalformedRecordsQueueNothing) {
  const Display d = Plug("D");
  std::wstring lower = d.vendor;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, lower), 2u) << "the marker in any case";
  EXPECT_EQ(Send(DBT_DEVICEQUERYREMOVE, d.vendor), 0u);
  EXPECT_EQ(Send(DBT_DEVICEREMOVEPENDING, d.vendor), 0u);
  EXPECT_EQ(Send(DBT_DEVNODES_CHANGED, d.vendor), 0u);
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL,
                 L"\\\\?\\USBSTOR#Disk&Ven_Kingston&Prod_DT#60A4#{53f56307-"
                 L"b6bf-11d0-94f2-00a0c91efb8b}"),
            0u);
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, L"\\\\?\\HID#VID_1A2C&PID_444E&Col02#x"), 0u);

  EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL, nullptr), 0u);
  DEV_BROADCAST_VOLUME volume{sizeof volume, DBT_DEVTYP_VOLUME, 0, 1u << 4, 0};
  EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL, &volume), 0u);
  std::vector<unsigned char> record = InterfaceRecord(d.vendor);
  auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(record.data());
  header->dbcc_size = 20;  // too short for its own header, though a path follows in memory
  EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL, record.data()), 0u);
  const std::size_t marker_end = d.vendor.find(L"PID_444D") + 8;
  header->dbcc_size = static_cast<DWORD>(kHeader + 2 * (marker_end - 1));
  EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL, record.data()), 0u) << "marker only past the stated size";
  header->dbcc_size += 2;
  EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL, record.data()), 1u) << "marker just within it";

  // Marked interfaces that are not the vendor collection lose only the extra refresh.
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, d.keys), 1u);
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, Interface(L"HID#VID_1A2C&PID_444D&Col03#D", {0xFF01})), 1u);
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, Interface(L"HID#VID_1A2C&PID_444D&Col04#D", {})), 1u);
  EXPECT_EQ(Send(DBT_DEVICEREMOVECOMPLETE, lower), 1u);
}

// Through the system's hid.dll: a file with the marker in its name opens, but is no HID
// collection, and a path that does not exist does not open.
TEST(DeviceArrivalSystemHid, InterfaceCheckRefusesWhatIsNoHidCollection) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring file = std::wstring(temp) + L"HID#VID_1A2C&PID_444D&Col02#system";
  HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const USHORT caps[2] = {0xFF01, 1};
  DWORD written = 0;
  ::WriteFile(h, caps, sizeof caps, &written, nullptr);
  ::CloseHandle(h);
  EXPECT_FALSE(IsDisplayInterface((L"\\\\?\\" + file).c_str()));
  EXPECT_FALSE(IsDisplayInterface(L"\\\\?\\HID#VID_1A2C&PID_444D&Col02#absent#{x}"));
  EXPECT_FALSE(IsDisplayInterface(L""));
  EXPECT_FALSE(IsDisplayInterface(nullptr));
  ::DeleteFileW(file.c_str());
}

}  // namespace
}  // namespace calorix
