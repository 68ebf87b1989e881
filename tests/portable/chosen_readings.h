// The readings the server would choose, as one line of text for the tests to compare.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "server/core/choice.h"

namespace kalvaro::test {

// "label=value" of the CPU's reading, then " | name=value" for each adapter; "none".
inline std::string Chosen(const std::vector<Reading>& readings, std::string_view label = {}) {
  const Choice c = Choose(readings, label);
  char text[160];
  std::string out = "none";
  if (c.cpu) {
    std::snprintf(text, sizeof text, "%s=%.1f", readings[*c.cpu].label.c_str(),
                  readings[*c.cpu].celsius);
    out = text;
  }
  for (std::size_t i : c.gpus) {
    std::snprintf(text, sizeof text, " | %s=%.1f", readings[i].adapter_name.c_str(),
                  readings[i].celsius);
    out += text;
  }
  return out;
}

}  // namespace kalvaro::test
