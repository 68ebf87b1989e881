// The display list against the scripted hidapi double.
#include "app/device/device_manager.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "app/device/display_report.h"
#include "tests/doubles/hidapi_double.h"

namespace calorix {
namespace {

using hid_double::Collection;

class DeviceManagerTest : public ::testing::Test {
 protected:
  // The manager is process-wide: reset it first, so that its handles from an earlier test
  // close before the double's counts start again.
  void SetUp() override {
    dm.ResetForTesting();
    hid_double::Reset();
  }
  // Every enumeration is freed once, and every handle is closed with its entry.
  void TearDown() override {
    EXPECT_EQ(hid_double::LiveEnumerations(), 0);
    EXPECT_EQ(hid_double::ForeignFrees(), 0);
    dm.ResetForTesting();
    EXPECT_EQ(hid_double::OpenHandles(), 0);
  }
  DeviceManager& dm = DeviceManager::Instance();
};

Collection Other(const std::string& path, unsigned short page, unsigned short usage) {
  Collection c;
  c.path = path;
  c.usage_page = page;
  c.usage = usage;
  return c;
}

TEST_F(DeviceManagerTest, CompositeDeviceYieldsOneEntryAndClosesTheOthers) {
  hid_double::AddCollection(Other("dev1&col01", 0x0001, 0x06));
  hid_double::AddCollection(Other("dev1&col02", 0xFF01, 1));
  hid_double::AddCollection(Other("dev1&col03", 0xFF00, 1));
  hid_double::AddCollection(Other("dev1&col04", 0xFF01, 2));
  dm.RefreshDevices();
  EXPECT_EQ(dm.DeviceCount(), 1);
  EXPECT_EQ(hid_double::Opens(), 4);
  EXPECT_EQ(hid_double::Closes(), 3);
  EXPECT_EQ(hid_double::OpenHandles(), 1);
}

TEST_F(DeviceManagerTest, OnlyTheFilteredVendorAndProductAreOpened) {
  Collection foreign = Other("mouse", 0xFF01, 1);
  foreign.vendor_id = 0x845E;
  hid_double::AddCollection(foreign);
  Collection other_product = Other("other", 0xFF01, 1);
  other_product.product_id = 0x444E;
  hid_double::AddCollection(other_product);
  dm.RefreshDevices();
  EXPECT_EQ(dm.DeviceCount(), 0);
  EXPECT_EQ(hid_double::Opens(), 0);
}

TEST_F(DeviceManagerTest, TwoDisplaysAndAnUnopenableOne) {
  hid_double::AddCollection(Other("a", 0xFF01, 1));
  Collection busy = Other("busy", 0xFF01, 1);
  busy.open_fails = true;
  hid_double::AddCollection(busy);
  Collection nameless = Other("b", 0xFF01, 1);
  nameless.product_fails = true;
  hid_double::AddCollection(nameless);
  dm.RefreshDevices();
  EXPECT_EQ(dm.DeviceCount(), 2);
}

TEST_F(DeviceManagerTest, NoDisplayMeansOpenButNothingSent) {
  EXPECT_FALSE(dm.WriteReport(BuildDisplayReport(50)));  // not refreshed yet
  dm.RefreshDevices();
  EXPECT_EQ(dm.DeviceCount(), 0);
  EXPECT_TRUE(dm.WriteReport(BuildDisplayReport(50)));
  EXPECT_TRUE(hid_double::FeatureWrites().empty());
  EXPECT_TRUE(hid_double::Initialised());
}

TEST_F(DeviceManagerTest, RefreshClosesEverythingBeforeReopening) {
  hid_double::AddCollection(Other("a&col01", 0xFF01, 1));
  hid_double::AddCollection(Other("a&col02", 0x0001, 2));
  hid_double::AddCollection(Other("b&col01", 0xFF01, 1));
  for (int i = 0; i < 50; ++i) {
    dm.RefreshDevices();
    EXPECT_EQ(hid_double::OpenHandles(), 2);
  }
  dm.CloseAll();
  EXPECT_EQ(hid_double::Opens(), hid_double::Closes());
  EXPECT_FALSE(dm.WriteReport(BuildDisplayReport(50)));  // closed: nothing is sent
  EXPECT_EQ(dm.DeviceCount(), 0);
}

TEST_F(DeviceManagerTest, EveryDisplayGetsTheReportEvenWhenOneFails) {
  Collection failing = Other("first", 0xFF01, 1);
  failing.send_fails = true;
  hid_double::AddCollection(failing);
  hid_double::AddCollection(Other("second", 0xFF01, 1));
  dm.RefreshDevices();
  const Report report = BuildDisplayReport(65);
  EXPECT_TRUE(dm.WriteReport(report));
  const auto writes = hid_double::FeatureWrites();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].path, "first");
  EXPECT_EQ(writes[1].path, "second");
  for (const auto& w : writes) {
    ASSERT_EQ(w.bytes.size(), 65u);
    EXPECT_TRUE(std::equal(report.begin(), report.end(), w.bytes.begin()));
    EXPECT_EQ(w.bytes[64], 0x00);
  }
}

TEST_F(DeviceManagerTest, UnpluggedDisplayKeepsItsEntryUntilTheNextRefresh) {
  hid_double::AddCollection(Other("gone", 0xFF01, 1));
  hid_double::AddCollection(Other("stays", 0xFF01, 1));
  dm.RefreshDevices();
  hid_double::Unplug("gone");
  EXPECT_EQ(dm.DeviceCount(), 2);
  EXPECT_TRUE(dm.WriteReport(BuildDisplayReport(40)));
  EXPECT_EQ(hid_double::FeatureWrites().size(), 2u);
  dm.RefreshDevices();
  EXPECT_EQ(dm.DeviceCount(), 1);
  EXPECT_EQ(hid_double::OpenHandles(), 1);
}

TEST_F(DeviceManagerTest, FirmwareReplyOnTheFirstRead) {
  hid_double::AddCollection(Other("a", 0xFF01, 1));
  hid_double::AddCollection(Other("b", 0xFF01, 1));
  dm.RefreshDevices();
  hid_double::QueueFeatureReply("a", {0x07, 0x01, 0x23});
  int version = -1;
  ASSERT_TRUE(dm.GetFirmwareVersion(&version));
  EXPECT_EQ(version, 0x0123);
  EXPECT_EQ(hid_double::FeatureReads(), 1);
  const auto writes = hid_double::FeatureWrites();
  ASSERT_EQ(writes.size(), 1u);  // only the first display is asked
  EXPECT_EQ(writes[0].path, "a");
  ASSERT_EQ(writes[0].bytes.size(), 64u);
  EXPECT_EQ(writes[0].bytes[0], 0x07);
  EXPECT_EQ(writes[0].bytes[1], 0xFD);
}

TEST_F(DeviceManagerTest, FirmwareSecondReadOnlyWhenTheFirstIsNotReport7) {
  hid_double::AddCollection(Other("a", 0xFF01, 1));
  dm.RefreshDevices();
  hid_double::QueueFeatureReply("a", {0x00, 0x09, 0x09});
  hid_double::QueueFeatureReply("a", {0x05, 0x02, 0x10});  // taken whatever byte 0 holds
  int version = -1;
  ASSERT_TRUE(dm.GetFirmwareVersion(&version));
  EXPECT_EQ(version, 0x0210);
  EXPECT_EQ(hid_double::FeatureReads(), 2);
}

TEST_F(DeviceManagerTest, FirmwareFailuresLeaveTheOutputAlone) {
  int version = 77;
  EXPECT_FALSE(dm.GetFirmwareVersion(&version));  // not open
  dm.RefreshDevices();
  EXPECT_FALSE(dm.GetFirmwareVersion(&version));  // no display
  EXPECT_EQ(hid_double::FeatureWrites().size(), 0u);
  EXPECT_EQ(hid_double::FeatureReads(), 0);
  hid_double::AddCollection(Other("a", 0xFF01, 1));
  dm.RefreshDevices();
  EXPECT_FALSE(dm.GetFirmwareVersion(&version));  // no reply to read
  hid_double::Unplug("a");
  EXPECT_FALSE(dm.GetFirmwareVersion(&version));  // the send fails
  Collection mute = Other("mute", 0xFF01, 1);
  mute.send_writes_nothing = true;
  hid_double::AddCollection(mute);
  hid_double::QueueFeatureReply("mute", {0x07, 0x01, 0x23});
  dm.RefreshDevices();
  const int reads = hid_double::FeatureReads();
  EXPECT_FALSE(dm.GetFirmwareVersion(&version));  // the send wrote nothing
  EXPECT_EQ(hid_double::FeatureReads(), reads);
  EXPECT_EQ(version, 77);
}

// The tray menu asks for the count on the main thread while the worker is inside a call that
// a display stalls for 2 s: the count must come back while that call is still stalled.
TEST_F(DeviceManagerTest, CountComesBackAtOnceWhileADisplayStalls) {
  Collection slow = Other("slow", 0xFF01, 1);
  slow.stall_ms = 2000;
  hid_double::AddCollection(slow);
  hid_double::QueueFeatureReply("slow", {0x07, 0x01, 0x02});
  auto count_during = [this](const char* what, const std::function<void()>& work) {
    std::thread worker(work);
    while (hid_double::IoInProgress() == 0) std::this_thread::yield();
    const int count = dm.DeviceCount();
    EXPECT_EQ(hid_double::IoInProgress(), 1) << "the count waited for " << what;
    worker.join();
    return count;
  };
  EXPECT_EQ(count_during("the open", [this] { dm.RefreshDevices(); }), 0);
  EXPECT_EQ(dm.DeviceCount(), 1);
  EXPECT_EQ(count_during("a write", [this] { dm.WriteReport(BuildDisplayReport(42)); }), 1);
  int version = 0;
  EXPECT_EQ(count_during("the firmware query", [&] { dm.GetFirmwareVersion(&version); }), 1);
  EXPECT_EQ(version, 0x0102);
}

}  // namespace
}  // namespace calorix
