// Which of a monitor's readings the block gets: the CPU's value and the first two adapters'.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "server/core/reading.h"

namespace kalvaro {

// A reading the display can show: finite, from 1 (the block reserves 0.0 for "no value", and
// monitors write 0 for sensors without a reading) and below 200.
bool Plausible(double celsius);

struct Choice {
  std::optional<std::size_t> cpu;  // index into the readings
  std::vector<std::size_t> gpus;   // at most two, in the monitor's adapter order
  bool label_missing = false;      // a label was asked for and no plausible reading has it
};

// The CPU: the reading labelled `cpu_label` when one is given and present, else the best
// package reading, else the highest core; never an adapter's or a disk's reading unless the
// user names it. The adapters: each one's best reading, for the first two adapters.
Choice Choose(const std::vector<Reading>& readings, std::string_view cpu_label);

}  // namespace kalvaro
