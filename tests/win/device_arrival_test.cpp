// Device arrival and removal under Wine: WM_DEVICECHANGE with real broadcast records, sent to
// a real window whose procedure hands them to OnDeviceChange, which queues refreshes on the
// main window's worker and leaves the check of an arrived interface to it; the refreshes run
// the device manager against the hidapi double, and the real tray menu shows the count.
#include "app/device/device_arrival.h"

#include <dbt.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "app/device/device_manager.h"
#include "app/shell/tray_icon.h"
#include "app/shell/worker_win.h"
#include "tests/doubles/hidapi_double.h"
#include "tests/win/win_test_support.h"
#include "ui/core/manager.h"

namespace calorix {
namespace {

// Files stand in for HID interfaces, and hid.dll's answers go by their size: empty is no HID
// collection, 1 byte has unreadable capabilities, 2 bytes is a keyboard collection and
// 3 bytes the display's vendor collection.
enum StandIn : DWORD { kNoHid = 0, kUnreadable = 1, kKeyboard = 2, kVendor = 3 };
int g_live_preparsed_data = 0;  // handed out and not freed yet
int g_checks = 0;               // interfaces opened and asked

BOOLEAN WINAPI FakeGetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) {
  ++g_checks;
  const DWORD size = ::GetFileSize(device, nullptr);
  if (size == kNoHid || size > kVendor) return FALSE;
  ++g_live_preparsed_data;
  *data = reinterpret_cast<PHIDP_PREPARSED_DATA>(static_cast<std::uintptr_t>(size));
  return TRUE;
}
NTSTATUS WINAPI FakeGetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
  const auto kind = reinterpret_cast<std::uintptr_t>(data);
  if (kind == kUnreadable) return HIDP_STATUS_INVALID_PREPARSED_DATA;
  caps->UsagePage = kind == kVendor ? 0xFF01 : 0x0001;
  caps->Usage = kind == kVendor ? 1 : 6;
  return HIDP_STATUS_SUCCESS;
}
BOOLEAN WINAPI FakeFreePreparsedData(PHIDP_PREPARSED_DATA) {
  --g_live_preparsed_data;
  return TRUE;
}
const HidClassFunctions kFakeHid{FakeGetPreparsedData, FakeGetCaps, FakeFreePreparsedData};

// A file named like a HID interface of the display, in the temporary folder; its path in the
// form the system announces.
std::wstring StandInFile(const std::wstring& name, StandIn kind) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring file = std::wstring(temp) + L"HID#VID_1A2C&PID_444D&" + name;
  HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(h, "abc", kind, &written, nullptr);
  ::CloseHandle(h);
  return L"\\\\?\\" + file;
}

// A device-interface broadcast as the system sends it: header, then the zero-ended path.
std::vector<unsigned char> InterfaceRecord(const std::wstring& path) {
  constexpr std::size_t kHeader = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
  std::vector<unsigned char> bytes(kHeader + 2 * (path.size() + 1));
  auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
  record->dbcc_size = static_cast<DWORD>(bytes.size());
  record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(record->dbcc_name, path.c_str(), 2 * path.size());
  return bytes;
}

struct MainWindowParts {
  Worker* worker;
  ArrivedInterfaces* arrived;
};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_DEVICECHANGE) return ::DefWindowProcW(window, message, wparam, lparam);
  auto* parts = reinterpret_cast<MainWindowParts*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  return OnDeviceChange(
      wparam, lparam, [parts](WorkerCommand c) { parts->worker->Append(c); }, *parts->arrived);
}

class DeviceArrivalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeviceManager::Instance().ResetForTesting();
    hid_double::Reset();
    SetHidClassFunctionsForTesting(&kFakeHid);
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CalorixArrivalTestWindow";
    ::RegisterClassW(&wc);
    window_ = ::CreateWindowExW(0, wc.lpszClassName, L"main", WS_POPUP, 0, 0, 340, 250, nullptr,
                                nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&parts_));
    ConnectMainWindowWorker(
        worker_, window_, temperature_, [] { return 0; }, nullptr, &arrived_);
  }
  void TearDown() override {
    ::DestroyWindow(window_);
    SetHidClassFunctionsForTesting(nullptr);
    EXPECT_EQ(g_live_preparsed_data, 0);
    DeviceManager::Instance().ResetForTesting();
    EXPECT_EQ(hid_double::OpenHandles(), 0);
  }

  // Sends a device change as the system does; returns how many commands it queued. The
  // window answers 0 whatever the event.
  std::size_t Deliver(WPARAM event, const void* record) {
    const std::size_t before = worker_.QueuedCount();
    EXPECT_EQ(::SendMessageW(window_, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record)), 0);
    return worker_.QueuedCount() - before;
  }
  std::size_t Send(WPARAM event, const std::wstring& path) {
    return Deliver(event, InterfaceRecord(path).data());
  }
  // Runs the queued commands one per step, as the worker does; returns how many ran.
  std::size_t Drain() {
    std::size_t steps = 0;
    for (; worker_.QueuedCount() > 0; ++steps) worker_.Run();
    return steps;
  }
  // Drains the queue, then reads the device entry of the real tray menu.
  std::wstring DrainAndReadMenu() {
    Drain();
    const auto items = test::TrackedMenuItems([this] {
      OnTrayNotify(window_, WM_RBUTTONUP, [] { return DeviceManager::Instance().DeviceCount(); });
    });
    return items.size() == 3 ? items[1] : L"no menu";
  }
  // A display announces its USB device, a keyboard collection and its vendor collection;
  // arriving, each queues one refresh, and the worker's check adds one for the vendor
  // collection.
  std::vector<std::wstring> Plug(const std::string& name) {
    hid_double::AddCollection({name + "&col01", 0x1A2C, 0x444D, 0x0001, 0x06});
    hid_double::AddCollection({name + "&col02"});
    const std::wstring id(name.begin(), name.end());
    std::vector<std::wstring> paths = {L"\\\\?\\USB#VID_1A2C&PID_444D#" + id,
                                       StandInFile(L"Col01#" + id, kKeyboard),
                                       StandInFile(L"Col02#" + id, kVendor)};
    for (const std::wstring& path : paths) EXPECT_EQ(Send(DBT_DEVICEARRIVAL, path), 1u);
    EXPECT_EQ(Drain(), 4u);
    return paths;
  }
  void Unplug(const std::string& name, const std::vector<std::wstring>& paths) {
    hid_double::Unplug(name);
    for (const std::wstring& path : paths) EXPECT_EQ(Send(DBT_DEVICEREMOVECOMPLETE, path), 1u);
  }

  HWND window_ = nullptr;
  TemperatureMapping temperature_;  // declared before the worker: outlives it
  ArrivedInterfaces arrived_;       // the same
  Worker worker_;
  MainWindowParts parts_{&worker_, &arrived_};
};

TEST_F(DeviceArrivalTest, PluggingAndUnpluggingUpdatesTheMenuWithoutARestart) {
  EXPECT_EQ(RegisterDeviceNotifications(window_), 4);
  ::ShowWindow(window_, SW_SHOW);
  // The server's side of the block, written before the start-up refresh maps it.
  Zentu::UniqueKernelHandle mapping(::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr,
                                                         PAGE_READWRITE, 0, kTemperatureBlockSize,
                                                         kTemperatureBlockName));
  auto* block = static_cast<TemperatureBlock*>(
      ::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, kTemperatureBlockSize));
  ASSERT_NE(block, nullptr);
  block->cpu_temperature = 51.5f;
  worker_.Append(WorkerCommand::RefreshDevices);  // the start-up refresh
  EXPECT_EQ(DrainAndReadMenu(), L"202:0 Device");
  // With no display the window still gets the temperature: the idle step sends nothing.
  ::ValidateRect(window_, nullptr);
  worker_.Run();
  EXPECT_EQ(Zentu::Manager::GetCPUTemp(), 51.0f);
  EXPECT_TRUE(::GetUpdateRect(window_, nullptr, FALSE));
  EXPECT_TRUE(hid_double::FeatureWrites().empty());
  ::UnmapViewOfFile(block);

  const auto a = Plug("A");
  EXPECT_EQ(DrainAndReadMenu(), L"202:1 Device");
  const auto b = Plug("B");
  EXPECT_EQ(DrainAndReadMenu(), L"202:2 Device");
  Unplug("A", a);
  EXPECT_EQ(DrainAndReadMenu(), L"202:1 Device");
  Unplug("B", b);
  EXPECT_EQ(DrainAndReadMenu(), L"202:0 Device");
}

TEST_F(DeviceArrivalTest, OtherPathsEventsAndMalformedRecordsQueueNothing) {
  const std::wstring vendor = StandInFile(L"Col02#C", kVendor);
  std::wstring lower = vendor;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, lower), 1u) << "the marker in any case";
  EXPECT_EQ(Send(DBT_DEVICEQUERYREMOVE, vendor), 0u);
  EXPECT_EQ(Send(DBT_DEVICEREMOVEPENDING, vendor), 0u);
  EXPECT_EQ(Send(DBT_DEVICEARRIVAL, L"\\\\?\\USBSTOR#Disk&Ven_Kingston&Prod_DT#60A4"), 0u);
  EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL, nullptr), 0u);
  DEV_BROADCAST_VOLUME volume{sizeof volume, DBT_DEVTYP_VOLUME, 0, 1u << 4, 0};
  EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL, &volume), 0u);
  std::vector<unsigned char> record = InterfaceRecord(vendor);
  reinterpret_cast<DEV_BROADCAST_HDR*>(record.data())->dbch_size = 20;  // path follows anyway
  EXPECT_EQ(Deliver(DBT_DEVICEARRIVAL, record.data()), 0u);
  // Marked interfaces that are not the vendor collection lose only the extra refresh.
  for (StandIn kind : {kNoHid, kUnreadable, kKeyboard}) {
    const std::wstring name = L"col0" + std::to_wstring(kind) + L"#other";
    EXPECT_EQ(Send(DBT_DEVICEARRIVAL, StandInFile(name, kind)), 1u) << kind;
  }
  EXPECT_EQ(Send(DBT_DEVICEREMOVECOMPLETE, vendor), 1u);
  // No interface was opened on the window's thread. The worker checks the four that arrived:
  // only the vendor collection gets its refresh more.
  EXPECT_EQ(g_checks, 0);
  EXPECT_EQ(Drain(), 6u);
  EXPECT_EQ(g_checks, 4);
}

// The system's hid.dll opens a file with the marker in its name but finds no HID collection.
TEST(DeviceArrivalSystemHid, InterfaceCheckRefusesWhatIsNoHidCollection) {
  EXPECT_FALSE(IsDisplayInterface(StandInFile(L"Col02#system", kVendor).c_str()));
  EXPECT_FALSE(IsDisplayInterface(L"\\\\?\\HID#VID_1A2C&PID_444D&Col02#absent"));
  EXPECT_FALSE(IsDisplayInterface(nullptr));
}

}  // namespace
}  // namespace calorix
