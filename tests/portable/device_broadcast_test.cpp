// Broadcast records from outside the program: the path is read within the stated size only.
#include "app/device/device_broadcast.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace calorix {
namespace {

constexpr std::u16string_view kPath = u"\\\\?\\HID#VID_1A2C&PID_444D&MI_00&Col02#7&1f2e&0&0001";

// A device-interface record whose stated size covers `chars` characters of kPath, in a heap
// block of exactly that size, so that the host build's sanitizers catch any read past it.
std::unique_ptr<unsigned char[]> Record(std::size_t chars) {
  const auto stated = static_cast<std::uint32_t>(kInterfaceRecordHeaderSize + 2 * chars);
  auto bytes = std::make_unique<unsigned char[]>(stated);
  std::memcpy(bytes.get(), &stated, 4);
  std::memcpy(bytes.get() + 4, &kDeviceTypeInterface, 4);
  std::memcpy(bytes.get() + kInterfaceRecordHeaderSize, kPath.data(), 2 * chars);
  return bytes;
}

TEST(DeviceBroadcast, PathIsReadWithinTheStatedSizeOnly) {
  EXPECT_EQ(BroadcastInterfacePath(Record(kPath.size()).get()), kPath);  // no terminating zero
  // A stated size that ends inside the marker: the rest of the path is not the record's.
  const std::size_t cut = kPath.find(u"PID") + 2;
  const auto truncated = BroadcastInterfacePath(Record(cut).get());
  ASSERT_TRUE(truncated);
  EXPECT_EQ(*truncated, kPath.substr(0, cut));
  EXPECT_FALSE(PathNamesDisplay(*truncated));
}

TEST(DeviceBroadcast, MarkerInAnyCaseOfAsciiLetters) {
  EXPECT_TRUE(PathNamesDisplay(u"\\\\?\\usb#Vid_1a2C&pid_444d#5&2b"));
  EXPECT_FALSE(PathNamesDisplay(u"\\\\?\\HID#VID_1A2C&PID_444E&Col02"));
  // A dotless i (U+0131) is no "I", though some case mappings would make it one.
  EXPECT_FALSE(PathNamesDisplay(u"\\\\?\\HID#V\u0131D_1A2C&P\u0131D_444D"));
}

}  // namespace
}  // namespace calorix
