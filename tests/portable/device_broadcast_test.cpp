// Broadcast records from outside the program: the path is read within the stated size only.
#include "app/device/device_broadcast.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace calorix {
namespace {

// A record in a heap block of exactly `stated` bytes (at least the size field), so that the
// sanitizers of the host build catch any read past the stated size. The path is written as
// far as it fits; its terminating zero only when `stated` leaves room for it.
std::unique_ptr<unsigned char[]> Record(std::uint32_t stated, std::u16string_view path,
                                        std::uint32_t type = kDeviceTypeInterface) {
  auto bytes = std::make_unique<unsigned char[]>(std::max<std::size_t>(stated, 4));
  std::memcpy(bytes.get(), &stated, 4);
  if (stated >= 8) std::memcpy(bytes.get() + 4, &type, 4);
  if (stated > kInterfaceRecordHeaderSize) {
    std::memcpy(bytes.get() + kInterfaceRecordHeaderSize, path.data(),
                std::min<std::size_t>(stated - kInterfaceRecordHeaderSize, 2 * path.size()));
  }
  return bytes;
}
std::uint32_t Covering(std::size_t chars) {
  return static_cast<std::uint32_t>(kInterfaceRecordHeaderSize + 2 * chars);
}

constexpr std::u16string_view kPath = u"\\\\?\\HID#VID_1A2C&PID_444D&MI_00&Col02#7&1f2e&0&0001";

TEST(DeviceBroadcast, PathIsReadWithinTheStatedSizeOnly) {
  EXPECT_EQ(BroadcastInterfacePath(Record(Covering(kPath.size() + 1), kPath).get()), kPath);
  // Stated size ending inside the marker: what follows in memory is not the record's.
  const std::size_t cut = kPath.find(u"PID") + 2;
  const auto truncated = BroadcastInterfacePath(Record(Covering(cut), kPath).get());
  ASSERT_TRUE(truncated);
  EXPECT_EQ(*truncated, kPath.substr(0, cut));
  EXPECT_FALSE(PathNamesDisplay(*truncated));
  EXPECT_EQ(BroadcastInterfacePath(Record(Covering(2) + 1, u"ABC").get()), u"AB");  // odd size
  EXPECT_EQ(BroadcastInterfacePath(Record(Covering(5), std::u16string_view(u"AB\0CD", 5)).get()),
            u"AB");

  EXPECT_FALSE(BroadcastInterfacePath(nullptr));
  for (std::uint32_t stated : {0u, 4u, 12u, 27u}) {
    EXPECT_FALSE(BroadcastInterfacePath(Record(stated, kPath).get())) << stated;
  }
  EXPECT_FALSE(BroadcastInterfacePath(Record(Covering(kPath.size()), kPath, 2).get()));  // volume
}

TEST(DeviceBroadcast, MarkerInAnyCaseOfAsciiLetters) {
  EXPECT_TRUE(PathNamesDisplay(kPath));
  EXPECT_TRUE(PathNamesDisplay(u"\\\\?\\usb#Vid_1a2C&pid_444d#5&2b"));
  EXPECT_FALSE(PathNamesDisplay(u"\\\\?\\USBSTOR#Disk&Ven_Kingston&Prod_DataTraveler#0"));
  EXPECT_FALSE(PathNamesDisplay(u"\\\\?\\HID#VID_1A2C&PID_444E&Col02"));
  // A dotless i (U+0131) is no "I", though some case mappings would make it one.
  EXPECT_FALSE(PathNamesDisplay(u"\\\\?\\HID#V\u0131D_1A2C&P\u0131D_444D"));
}

}  // namespace
}  // namespace calorix
