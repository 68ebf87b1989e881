// Bounded reading of device-interface broadcast records.
#include "app/device/device_broadcast.h"

#include <algorithm>
#include <cstring>

namespace calorix {

namespace {

std::uint32_t ReadU32(const unsigned char* bytes) {
  std::uint32_t value;
  std::memcpy(&value, bytes, sizeof value);  // the record may sit at any alignment
  return value;
}

char16_t AsciiUpper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

}  // namespace

std::optional<std::u16string> BroadcastInterfacePath(const void* record) {
  if (!record) return std::nullopt;
  const auto* bytes = static_cast<const unsigned char*>(record);
  const std::uint32_t size = ReadU32(bytes);
  if (size < kInterfaceRecordHeaderSize) return std::nullopt;  // too short for its header
  if (ReadU32(bytes + 4) != kDeviceTypeInterface) return std::nullopt;
  const std::size_t chars = (size - kInterfaceRecordHeaderSize) / sizeof(char16_t);
  std::u16string path;
  for (std::size_t i = 0; i < chars; ++i) {
    char16_t c;
    std::memcpy(&c, bytes + kInterfaceRecordHeaderSize + i * sizeof c, sizeof c);
    if (c == 0) break;
    path.push_back(c);
  }
  return path;
}

bool PathNamesDisplay(std::u16string_view path) {
  std::u16string upper(path);
  std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
  return upper.find(kDisplayPathMarker) != std::u16string::npos;
}

}  // namespace calorix
