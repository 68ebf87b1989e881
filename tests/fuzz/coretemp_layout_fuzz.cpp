// Any bytes in Core Temp's section are read inside the copy only.
#include "server/core/coretemp.h"
#include "tests/fuzz/kalvaro_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckSample(kalvaro::ParseCoreTemp(kalvaro::Bytes(data, size)));
  return 0;
}
