// Any values in HWiNFO's Gadget key: lines of "name=text".
#include <string_view>
#include <vector>

#include "server/core/hwinfo.h"
#include "tests/fuzz/kalvaro_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<kalvaro::GadgetValue> values;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    values.push_back({std::string(line.substr(0, eq)), std::string(line.substr(eq + 1))});
  }
  kalvaro::Sample sample;
  sample.readings = kalvaro::ParseHwinfoGadget(values);
  CheckSample(sample);
  return 0;
}
