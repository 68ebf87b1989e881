// Broadcast records from outside the program: the path is read within the stated size only.
#include "app/device/device_broadcast.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace calorix {
namespace {

// A record in a heap block of exactly `stated` bytes (at least the size field), so that the
// sanitizers of the host build catch any read past the stated size. `path` is written as far
// as it fits, with no terminating zero unless it contains one.
struct Record {
  Record(std::uint32_t stated, std::uint32_t type, std::u16string_view path)
      : bytes(new unsigned char[std::max<std::size_t>(stated, 4)]()) {
    std::memcpy(bytes.get(), &stated, 4);
    if (stated >= 8) std::memcpy(bytes.get() + 4, &type, 4);
    if (stated <= kInterfaceRecordHeaderSize) return;
    std::memcpy(bytes.get() + kInterfaceRecordHeaderSize, path.data(),
                std::min<std::size_t>(stated - kInterfaceRecordHeaderSize, 2 * path.size()));
  }
  // The whole path and its terminating zero.
  static Record Full(std::u16string_view path, std::uint32_t type = kDeviceTypeInterface) {
    const auto stated =
        static_cast<std::uint32_t>(kInterfaceRecordHeaderSize + 2 * path.size() + 2);
    return Record(stated, type, path);
  }
  std::unique_ptr<unsigned char[]> bytes;
};

constexpr std::u16string_view kHidPath =
    u"\\\\?\\HID#VID_1A2C&PID_444D&MI_00&Col02#7&1f2e&0&0001#{4d1e55b2-f16f-11cf-88cb-"
    u"001111000030}";

TEST(DeviceBroadcast, PathIsReadWithinTheStatedSizeOnly) {
  EXPECT_EQ(BroadcastInterfacePath(Record::Full(kHidPath).bytes.get()), std::u16string(kHidPath));
  EXPECT_EQ(BroadcastInterfacePath(Record::Full(u"").bytes.get()), u"");

  // Stated size ends inside the marker: the rest is not the record's, and is not read.
  const std::size_t cut = kHidPath.find(u"PID") + 2;
  Record short_path(static_cast<std::uint32_t>(kInterfaceRecordHeaderSize + 2 * cut), 5, kHidPath);
  const auto truncated = BroadcastInterfacePath(short_path.bytes.get());
  ASSERT_TRUE(truncated);
  EXPECT_EQ(*truncated, kHidPath.substr(0, cut));
  EXPECT_FALSE(PathNamesDisplay(*truncated));

  // An odd stated size leaves half a character, which is not read either.
  Record odd(static_cast<std::uint32_t>(kInterfaceRecordHeaderSize + 5), 5, u"ABC");
  EXPECT_EQ(BroadcastInterfacePath(odd.bytes.get()), u"AB");

  // A zero inside the stated size ends the path.
  EXPECT_EQ(BroadcastInterfacePath(Record::Full(std::u16string_view(u"AB\0CD", 5)).bytes.get()),
            u"AB");
}

TEST(DeviceBroadcast, NoRecordForNullShortOrOtherDeviceTypes) {
  EXPECT_FALSE(BroadcastInterfacePath(nullptr));
  for (std::uint32_t stated : {0u, 4u, 12u, 27u}) {
    EXPECT_FALSE(BroadcastInterfacePath(Record(stated, 5, kHidPath).bytes.get())) << stated;
  }
  EXPECT_FALSE(BroadcastInterfacePath(Record::Full(kHidPath, 2).bytes.get()));  // a volume
  EXPECT_FALSE(BroadcastInterfacePath(Record::Full(kHidPath, 6).bytes.get()));  // a handle
}

TEST(DeviceBroadcast, MarkerInAnyCase) {
  EXPECT_TRUE(PathNamesDisplay(kHidPath));
  EXPECT_TRUE(PathNamesDisplay(u"\\\\?\\hid#vid_1a2c&pid_444d&col02#x"));
  EXPECT_TRUE(PathNamesDisplay(u"\\\\?\\USB#Vid_1a2C&Pid_444d#5&2b"));
  EXPECT_FALSE(PathNamesDisplay(u"\\\\?\\USBSTOR#Disk&Ven_Kingston&Prod_DataTraveler#0"));
  EXPECT_FALSE(PathNamesDisplay(u"\\\\?\\HID#VID_1A2C&PID_444E&Col02#x"));
  EXPECT_FALSE(PathNamesDisplay(u"\\\\?\\HID#VID_1A2C&PID_444"));
  // Only ASCII letters are folded: a dotless i (U+0131) is no "I".
  EXPECT_FALSE(PathNamesDisplay(u"\\\\?\\HID#V\u0131D_1A2C&P\u0131D_444D#x"));
}

}  // namespace
}  // namespace calorix
