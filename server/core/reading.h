// A temperature reading as a hardware monitor publishes it, and what one look at a monitor gives.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalvaro {

// What a reading stands for when the CPU's value and the adapters' values are chosen.
enum class Role : std::uint8_t {
  kOther,       // board, disk, memory, hot spot of a CPU...: listed, never chosen on its own
  kCpuPackage,  // the CPU as a whole; `rank` orders the monitor's kinds, lower first
  kCpuCore,     // one core or die: the highest stands in when there is no package reading
  kGpu,         // a graphics adapter's reading; `rank` orders an adapter's readings
};

struct Reading {
  std::string sensor;  // the monitor's device or sensor name, UTF-8
  std::string label;   // the reading's own name, UTF-8: what "sensor_cpu_label" matches
  double celsius = 0;
  Role role = Role::kOther;
  int rank = 0;
  int adapter = -1;          // kGpu: the adapter's place in the monitor's order
  std::string adapter_name;  // kGpu: what the block's adapter name field gets
};

inline Reading MakeReading(std::string sensor, std::string label, double celsius,
                           Role role = Role::kOther) {
  Reading r;
  r.sensor = std::move(sensor);
  r.label = std::move(label);
  r.celsius = celsius;
  r.role = role;
  return r;
}

// One look at a monitor.
struct Sample {
  std::vector<Reading> readings;  // temperatures only, in the monitor's order
  // False when the monitor itself says that its data is not current (HWiNFO's "DEAD").
  bool live = true;
  // Changes with every poll of a monitor that publishes such a counter or time.
  std::optional<std::uint64_t> stamp;
  // How old the stamp already was by the wall clock, for monitors whose stamp is a time.
  std::optional<std::int64_t> stamp_age_ms;
  // A stamp unchanged for this long means that the monitor has stopped.
  std::int64_t stale_after_ms = 5000;
};

inline double FahrenheitToCelsius(double f) { return (f - 32.0) * 5.0 / 9.0; }

// The place of `name` in a monitor's list of labels, best first; -1 when it is not listed.
inline int RankIn(std::string_view name, std::initializer_list<std::string_view> best_first) {
  int rank = 0;
  for (std::string_view candidate : best_first) {
    if (name == candidate) return rank;
    ++rank;
  }
  return -1;
}

}  // namespace kalvaro
