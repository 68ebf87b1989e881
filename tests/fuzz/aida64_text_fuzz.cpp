// Any text in AIDA64's section is scanned without reading past it.
#include <string_view>

#include "server/core/aida64.h"
#include "tests/fuzz/kalvaro_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckSample(kalvaro::ParseAida64(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}
