// Any local extra field, attribute word and DOS time decodes within its bounds.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/update/zip_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size >= 9) {
    std::uint32_t external = 0, dos = 0;
    std::memcpy(&external, data + 1, 4);
    std::memcpy(&dos, data + 5, 4);
    const std::uint32_t attributes = calorix::DecodeAttributes(data[0], external);
    if (attributes & ~0x37u) std::abort();
    if (const auto t = calorix::DecodeDosDateTime(dos)) {
      if (t->month < 1 || t->month > 12 || t->day < 1 || t->day > 31 || t->hour > 23 ||
          t->minute > 59 || t->second > 59)
        std::abort();
    }
  }
  // The field is copied, so that a read past its end is caught by the address sanitizer.
  std::uint8_t* field = new std::uint8_t[size];
  if (size) std::memcpy(field, data, size);
  calorix::ParseExtendedTimestamp(field, size);
  delete[] field;
  return 0;
}
