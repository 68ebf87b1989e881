// Any device-interface record is read within its stated size; the input is the record, and a
// stated size beyond the input is cut to it so that the block ends where the record says.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "app/device/device_broadcast.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::uint32_t stated;
  std::memcpy(&stated, data, 4);
  stated = static_cast<std::uint32_t>(std::max<std::size_t>(4, stated % (size + 1)));
  auto record = std::make_unique<std::uint8_t[]>(stated);
  std::memcpy(record.get(), data, stated);
  std::memcpy(record.get(), &stated, 4);
  if (const auto path = calorix::BroadcastInterfacePath(record.get())) {
    calorix::PathNamesDisplay(*path);
  }
  return 0;
}
