// Any bytes in Argus Monitor's section are read inside the copy only.
#include "server/core/argus.h"
#include "tests/fuzz/kalvaro_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckSample(kalvaro::ParseArgus(kalvaro::Bytes(data, size)));
  return 0;
}
