// Any stored setting text parses without overflow.
#include <cstdint>
#include <vector>

#include "app/system/setting_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<wchar_t> text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
  text.push_back(0);
  calorix::ParseSettingText(text.data());
  return 0;
}
