// Argus Monitor's records: found by sensor type through the header's index and count tables.
#include "server/core/argus.h"

#include <map>
#include <vector>

#include "server/core/text.h"

namespace kalvaro {

namespace {

enum SensorType : std::uint32_t {
  kBoardTemperature = 1,
  kSyntheticTemperature = 2,
  kCpuTemperature = 6,
  kCpuExtraTemperature = 7,
  kGpuTemperature = 10,
  kGpuName = 11,
  kDiskTemperature = 21,
};

struct Record {
  std::uint32_t type;
  std::string label, unit;
  double value;
  std::uint32_t sensor_index;
};

struct Layout {
  std::uint32_t types;  // N
  std::uint64_t records_at;
  std::vector<std::uint32_t> first, count;
};

std::optional<Record> ReadRecord(Bytes b, std::uint64_t at) {
  if (!b.Has(at, kArgusRecordSize)) return std::nullopt;
  return Record{*b.Get<std::uint32_t>(at), Utf16LeToUtf8(b.data() + at + 4, 64),
                Utf16LeToUtf8(b.data() + at + 132, 32), *b.Get<double>(at + 196),
                *b.Get<std::uint32_t>(at + 208)};
}

// The header with N sensor types, when its tables agree with the records: the counts add up
// to the total, every type's records lie inside the total, and each non-empty type's first
// record carries that type.
std::optional<Layout> TryLayout(Bytes b, std::uint32_t n) {
  Layout l{n, 24ull + 8ull * n, {}, {}};
  const auto total = b.Get<std::uint32_t>(20ull + 8ull * n);
  if (!total || *total > kArgusMaxSensors) return std::nullopt;
  std::uint64_t sum = 0;
  for (std::uint32_t t = 0; t < n; ++t) {
    l.first.push_back(*b.Get<std::uint32_t>(20ull + 4ull * t));
    l.count.push_back(*b.Get<std::uint32_t>(20ull + 4ull * n + 4ull * t));
    sum += l.count.back();
    if (l.count[t] == 0) continue;
    if (static_cast<std::uint64_t>(l.first[t]) + l.count[t] > *total) return std::nullopt;
    const auto first = ReadRecord(b, l.records_at + l.first[t] * kArgusRecordSize);
    if (!first || first->type != t) return std::nullopt;
  }
  if (sum != *total) return std::nullopt;
  return l;
}

std::string SensorName(std::uint32_t type) {
  switch (type) {
    case kBoardTemperature:
      return "Mainboard";
    case kSyntheticTemperature:
      return "Synthetic";
    case kCpuTemperature:
    case kCpuExtraTemperature:
      return "CPU";
    case kDiskTemperature:
      return "Disk";
    default:
      return "GPU";
  }
}

}  // namespace

std::optional<Sample> ParseArgus(Bytes b) {
  const auto signature = b.Get<std::uint32_t>(0);
  const auto cycle = b.Get<std::uint32_t>(16);
  if (!signature || !cycle) return std::nullopt;
  if (*signature != kArgusActive) {
    Sample not_current;
    not_current.live = false;
    return not_current;
  }
  std::optional<Layout> layout;
  for (std::uint32_t n : {27u, 26u}) {
    if ((layout = TryLayout(b, n))) break;
  }
  if (!layout) return std::nullopt;
  Sample sample;
  sample.live = *cycle != 0;
  sample.stamp = *cycle;
  auto records = [&](std::uint32_t type) {
    std::vector<Record> out;
    if (type >= layout->types) return out;
    for (std::uint32_t i = 0; i < layout->count[type]; ++i) {
      const auto r =
          ReadRecord(b, layout->records_at + (layout->first[type] + i) * kArgusRecordSize);
      if (r && r->type == type) out.push_back(*r);
    }
    return out;
  };
  // An adapter's name is the label of the name record with the same instance.
  std::map<std::uint32_t, std::string> gpu_names;
  for (const Record& r : records(kGpuName)) gpu_names.emplace(r.sensor_index, r.label);
  for (std::uint32_t type : {kCpuTemperature, kCpuExtraTemperature, kGpuTemperature,
                             kBoardTemperature, kSyntheticTemperature, kDiskTemperature}) {
    for (const Record& rec : records(type)) {
      Reading r = MakeReading(SensorName(type), rec.label, rec.value);
      if (rec.unit.ends_with('F')) r.celsius = FahrenheitToCelsius(r.celsius);
      if (type == kCpuTemperature) r.role = Role::kCpuCore;
      if (type == kGpuTemperature) {
        const auto name = gpu_names.find(rec.sensor_index);
        r.role = Role::kGpu;
        r.adapter = static_cast<int>(rec.sensor_index);
        r.adapter_name = name != gpu_names.end() && !name->second.empty()
                             ? name->second
                             : "GPU " + std::to_string(rec.sensor_index + 1);
        r.sensor = r.adapter_name;
      }
      sample.readings.push_back(std::move(r));
    }
  }
  return sample;
}

}  // namespace kalvaro
