// The real hidapi under Wine: the enumeration runs and finds no cooler display.
#include <gtest/gtest.h>

#include <hidapi.h>

#include "app/device/device_manager.h"
#include "app/device/display_report.h"

namespace calorix {
namespace {

TEST(RealHidapi, EnumerationFindsNoDisplayAmongWinesDevices) {
  DeviceManager& dm = DeviceManager::Instance();  // runs hid_init
  int collections = 0, displays = 0;
  hid_device_info* all = hid_enumerate(0, 0);
  for (hid_device_info* d = all; d; d = d->next) {
    ++collections;
    if (d->vendor_id == kDisplayVendorId && d->product_id == kDisplayProductId) ++displays;
  }
  hid_free_enumeration(all);
  RecordProperty("collections", collections);
  EXPECT_EQ(displays, 0);

  dm.RefreshDevices();
  EXPECT_EQ(dm.DeviceCount(), 0);
  EXPECT_TRUE(dm.WriteReport(Report{}));
  int version = -1;
  EXPECT_FALSE(dm.GetFirmwareVersion(&version));
  EXPECT_EQ(version, -1);
}

}  // namespace
}  // namespace calorix
