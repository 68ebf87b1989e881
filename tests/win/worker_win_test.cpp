// The worker on Windows: command 1 maps the named block, and each report reaches the
// display and Zentu's Manager, and the main window's update region when the number changes.
#include "app/shell/worker_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "app/device/device_manager.h"
#include "tests/doubles/hidapi_double.h"
#include "tests/win/win_test_support.h"
#include "ui/core/manager.h"

namespace calorix {
namespace {

HWND CreateTestWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CalorixWorkerTestWindow";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"worker", WS_POPUP | WS_VISIBLE, 0, 0, 340,
                                  250, nullptr, nullptr, wc.hInstance, nullptr);
  if (window) ::ValidateRect(window, nullptr);  // start without an update region
  return window;
}

bool HasUpdateRegion(HWND window) { return ::GetUpdateRect(window, nullptr, FALSE) != 0; }

// The server's side of the block: a writable view of the same named mapping.
struct ServerBlock {
  ServerBlock() {
    mapping = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                   kTemperatureBlockSize, kTemperatureBlockName);
    if (mapping) view = ::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kTemperatureBlockSize);
  }
  ~ServerBlock() {
    if (view) ::UnmapViewOfFile(view);
    if (mapping) ::CloseHandle(mapping);
  }
  TemperatureBlock* block() { return static_cast<TemperatureBlock*>(view); }
  HANDLE mapping = nullptr;  // owned
  void* view = nullptr;      // owned
};

TEST(WorkerWinTest, RefreshMapsTheBlockAndReportsReachDisplayManagerAndWindow) {
  hid_double::Reset();
  hid_double::Collection display;
  display.path = "display";
  hid_double::AddCollection(display);
  HWND window = CreateTestWindow();
  ASSERT_NE(window, nullptr);
  // Another process made the block first, reserved and never committed: reading it would
  // fault. It counts as not mapped, and nothing is reported.
  auto hostile = std::make_unique<test::ChildProcess>(
      L"\"" + test::ProgramFolder() + L"monitor_standin.exe\" --uncommitted --exit-after 60");
  ASSERT_TRUE(test::WaitFor(
      [] {
        const Zentu::UniqueKernelHandle block(
            ::OpenFileMappingA(FILE_MAP_READ, FALSE, kTemperatureBlockName));
        return static_cast<bool>(block);
      },
      10000));

  TemperatureMapping temperature;  // declared before the worker: outlives it
  std::atomic<int> unit{1};
  {
    Worker worker;
    ConnectMainWindowWorker(worker, window, temperature, [&unit] { return unit.load(); });
    worker.Append(WorkerCommand::RefreshDevices);
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(test::WaitFor([] { return DeviceManager::Instance().DeviceCount() == 1; }, 5000));
    ::Sleep(300);
    EXPECT_EQ(temperature.Block(), nullptr);
    EXPECT_TRUE(hid_double::FeatureWrites().empty());
    hostile.reset();  // ended: with nobody holding it, that block is gone

    // A real block then, mapped by the next refresh.
    ServerBlock server;
    ASSERT_NE(server.block(), nullptr);
    server.block()->cpu_temperature = 0.0f;  // no reading yet
    worker.Append(WorkerCommand::RefreshDevices);
    ASSERT_TRUE(test::WaitFor([&] { return temperature.Block() != nullptr; }, 5000));
    ::Sleep(100);  // several steps read 0.0 meanwhile
    EXPECT_TRUE(hid_double::FeatureWrites().empty());
    EXPECT_FALSE(HasUpdateRegion(window));

    server.block()->cpu_temperature = 36.6f;  // 36 degrees Celsius is 96 Fahrenheit
    ASSERT_TRUE(test::WaitFor([] { return !hid_double::FeatureWrites().empty(); }, 5000));
    EXPECT_TRUE(HasUpdateRegion(window));
    ::ValidateRect(window, nullptr);
    server.block()->cpu_temperature = 36.9f;  // 96 again: reported, not repainted
    ASSERT_TRUE(test::WaitFor([] { return hid_double::FeatureWrites().size() == 2; }, 5000));
    EXPECT_TRUE(worker.Stop());
  }
  EXPECT_FALSE(HasUpdateRegion(window));
  const auto writes = hid_double::FeatureWrites();
  ASSERT_EQ(writes.size(), 2u);
  ASSERT_EQ(writes[0].bytes.size(), 65u);
  EXPECT_EQ(writes[0].bytes[3], 0);
  EXPECT_EQ(writes[0].bytes[4], 9);
  EXPECT_EQ(writes[0].bytes[5], 6);
  EXPECT_EQ(writes[1].bytes, writes[0].bytes);
  EXPECT_EQ(Zentu::Manager::GetCPUTemp(), 96.0f);
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace calorix
