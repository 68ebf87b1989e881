// Choosing among one monitor's readings.
#include "server/core/choice.h"

#include <cmath>
#include <map>

namespace kalvaro {

bool Plausible(double celsius) { return std::isfinite(celsius) && celsius >= 1 && celsius < 200; }

namespace {

std::optional<std::size_t> ChooseCpu(const std::vector<Reading>& readings) {
  std::optional<std::size_t> package, core;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    const Reading& r = readings[i];
    if (!Plausible(r.celsius)) continue;
    if (r.role == Role::kCpuPackage && (!package || r.rank < readings[*package].rank)) {
      package = i;
    }
    if (r.role == Role::kCpuCore && (!core || r.celsius > readings[*core].celsius)) core = i;
  }
  return package ? package : core;
}

}  // namespace

Choice Choose(const std::vector<Reading>& readings, std::string_view cpu_label) {
  Choice choice;
  if (!cpu_label.empty()) {
    for (std::size_t i = 0; i < readings.size() && !choice.cpu; ++i) {
      if (readings[i].label == cpu_label && Plausible(readings[i].celsius)) choice.cpu = i;
    }
    choice.label_missing = !choice.cpu;
  }
  if (!choice.cpu) choice.cpu = ChooseCpu(readings);
  std::map<int, std::size_t> best_of_adapter;
  for (std::size_t i = 0; i < readings.size(); ++i) {
    const Reading& r = readings[i];
    if (r.role != Role::kGpu || !Plausible(r.celsius)) continue;
    const auto [it, added] = best_of_adapter.emplace(r.adapter, i);
    if (!added && r.rank < readings[it->second].rank) it->second = i;
  }
  for (const auto& [adapter, index] : best_of_adapter) {
    if (choice.gpus.size() == 2) break;
    choice.gpus.push_back(index);
  }
  return choice;
}

}  // namespace kalvaro
