// Any bytes in HWiNFO's section are read inside the copy only.
#include "server/core/hwinfo.h"
#include "tests/fuzz/kalvaro_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckSample(kalvaro::ParseHwinfo(kalvaro::Bytes(data, size), 1700000000));
  return 0;
}
