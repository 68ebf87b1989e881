// What every monitor reader's fuzzer checks of a sample: the choice stays inside the readings,
// and the block made from it keeps its texts terminated.
#pragma once

#include <optional>

#include "server/core/block.h"
#include "server/core/choice.h"

inline void CheckSample(const std::optional<kalvaro::Sample>& sample) {
  if (!sample) return;
  const kalvaro::Choice choice = kalvaro::Choose(sample->readings, "CPU Package");
  if (choice.cpu && *choice.cpu >= sample->readings.size()) __builtin_trap();
  if (choice.gpus.size() > 2) __builtin_trap();
  for (std::size_t i : choice.gpus) {
    if (i >= sample->readings.size()) __builtin_trap();
  }
  if (!choice.cpu) return;
  float liveness = 0;
  const calorix::TemperatureBlock block =
      kalvaro::NextBlock(kalvaro::Pick{kalvaro::SourceId::kHwinfo, *sample, choice}, &liveness);
  if (block.gpu1_name[calorix::kGpuNameSize - 1] || block.gpu2_name[calorix::kGpuNameSize - 1])
    __builtin_trap();
  if (!kalvaro::Plausible(block.cpu_temperature) || !kalvaro::ReadSourceTag(block))
    __builtin_trap();
}
