// Core Temp's per-core temperatures, turned from distances to TjMax and from Fahrenheit.
#include "server/core/coretemp.h"

#include <cmath>
#include <cstdio>

namespace kalvaro {

namespace {

constexpr std::uint64_t kTjMax = 1024, kCoreCount = 1536, kCpuCount = 1540, kTemps = 1544,
                        kCpuName = 2584, kFahrenheit = 2684, kDeltaToTjMax = 2685;
constexpr std::uint32_t kMaxCpus = 128, kMaxCores = 256;

}  // namespace

std::optional<Sample> ParseCoreTemp(Bytes b, AnsiDecoder decode) {
  if (!b.Has(0, kCoreTempBaseSize)) return std::nullopt;
  const std::uint32_t cores = *b.Get<std::uint32_t>(kCoreCount);  // per CPU
  const std::uint32_t cpus = *b.Get<std::uint32_t>(kCpuCount);
  if (cores == 0 || cpus == 0 || cpus > kMaxCpus ||
      static_cast<std::uint64_t>(cores) * cpus > kMaxCores) {
    return std::nullopt;
  }
  const bool fahrenheit = *b.Get<std::uint8_t>(kFahrenheit) == 1;
  const bool delta = *b.Get<std::uint8_t>(kDeltaToTjMax) == 1;
  const std::string cpu_name = decode(b.Text(kCpuName, 100));
  Sample sample;
  for (std::uint32_t c = 0; c < cpus; ++c) {
    for (std::uint32_t k = 0; k < cores; ++k) {
      double t = *b.Get<float>(kTemps + 4ull * (c * cores + k));
      // The distance is taken from TjMax in the unit shown, before converting.
      if (delta) t = static_cast<double>(*b.Get<std::uint32_t>(kTjMax + 4ull * c)) - t;
      if (fahrenheit) t = FahrenheitToCelsius(t);
      if (!std::isfinite(t)) continue;
      char label[32];
      if (cpus == 1) {
        std::snprintf(label, sizeof label, "Core #%u", static_cast<unsigned>(k));
      } else {
        std::snprintf(label, sizeof label, "CPU #%u Core #%u", static_cast<unsigned>(c),
                      static_cast<unsigned>(k));
      }
      sample.readings.push_back(MakeReading(cpu_name, label, t, Role::kCpuCore));
    }
  }
  return sample;
}

}  // namespace kalvaro
