// The layouts and texts that hardware monitors publish, written from the fact sheet of each
// format: what the test publisher puts in place of a real monitor, and what the parser tests
// start from. Windows-free.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sensors {

struct Value {
  std::string key;  // the reading's label, or AIDA64's item id ("TCPUPKG")
  double celsius;
};

// What a monitor is made to publish. Every layout adds a few readings of other kinds (a disk,
// a board, a fan, a voltage) that must never be chosen.
struct Published {
  std::string cpu_name = "Test CPU";
  std::vector<Value> cpu;     // package-like readings by their label or id
  std::vector<double> cores;  // per core, all on the first CPU unless a layout splits them
  std::vector<Value> gpus;    // adapters: key is the adapter's name
};

struct HwinfoOptions {
  int version = 2;                 // 1: 264/316-byte elements, a revision-0 header
  std::uint32_t reading_size = 0;  // a stride other than the version's
  std::int64_t poll_time = 0;      // Unix seconds
  std::uint32_t polling_period_ms = 1000;
  bool dead = false;        // the signature a stopped HWiNFO leaves
  bool fahrenheit = false;  // values and units in °F
};
std::vector<std::uint8_t> HwinfoLayout(const Published& p, const HwinfoOptions& o);

// The elements, with blanks between them; `time` is the STIME item when not empty.
std::string Aida64Text(const Published& p, const std::string& time, bool comma = false,
                       bool trial = false);

struct CoreTempOptions {
  int cpus = 1;  // the cores are split evenly among them
  bool delta_to_tjmax = false;
  bool fahrenheit = false;
  bool extended = true;  // the Ex structure (4740 bytes) instead of the base one
};
inline constexpr double kCoreTempTjMax = 100;
std::vector<std::uint8_t> CoreTempLayout(const Published& p, const CoreTempOptions& o);

struct ArgusOptions {
  int sensor_types = 27;  // 26 in older builds
  std::uint32_t cycle = 1;
  std::size_t section_size = 1 << 20;
};
std::vector<std::uint8_t> ArgusLayout(const Published& p, const ArgusOptions& o);

struct LhmOptions {
  bool raw = true;  // the 0.9.5 shape: ids, types and raw numbers; else the old texts only
  bool comma = false;
  bool fahrenheit = false;
};
std::string LhmJson(const Published& p, const LhmOptions& o);

// HWiNFO's Gadget values (name, text as UTF-8).
std::vector<std::pair<std::string, std::string>> GadgetValues(const Published& p,
                                                              bool comma = false);

}  // namespace sensors
