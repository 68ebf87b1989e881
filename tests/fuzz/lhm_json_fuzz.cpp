// Any body from the web server on LibreHardwareMonitor's port, framed and parsed.
#include <string_view>

#include "server/core/http_response.h"
#include "server/core/lhm.h"
#include "tests/fuzz/kalvaro_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckSample(kalvaro::ParseLhmJson(text));
  if (const auto response = kalvaro::ParseHttpResponse(text)) {
    if (response->body.size() > size) __builtin_trap();
  }
  return 0;
}
