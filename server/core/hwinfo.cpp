// Reading HWiNFO's shared memory and Gadget values, and which of their readings stand for what.
#include "server/core/hwinfo.h"

#include <algorithm>
#include <map>

namespace kalvaro {

namespace {

constexpr std::uint32_t kTemperatureReading = 1;
constexpr std::int64_t kMinStaleMs = 5000;
// A polling period from the data is believed up to this, so that a hostile or absurd one
// cannot keep a frozen section fresh for days.
constexpr std::int64_t kMaxStaleMs = 60000;

struct Header {
  std::uint32_t signature, revision;
  std::int64_t poll_time;
  std::uint32_t sensor_offset, sensor_size, sensor_count;
  std::uint32_t reading_offset, reading_size, reading_count;
  std::uint32_t polling_period_ms;  // 0 before revision 1
};

std::optional<Header> ReadHeader(Bytes b) {
  Header h{};
  const auto signature = b.Get<std::uint32_t>(0);
  const auto revision = b.Get<std::uint32_t>(8);
  const auto poll = b.Get<std::int64_t>(12);
  const auto reading_count = b.Get<std::uint32_t>(40);  // the last field of a revision-0 header
  if (!signature || !revision || !poll || !reading_count) return std::nullopt;
  if (*signature != kHwinfoActive && *signature != kHwinfoDead) return std::nullopt;
  h.signature = *signature;
  h.revision = *revision;
  h.poll_time = *poll;
  h.sensor_offset = *b.Get<std::uint32_t>(20);
  h.sensor_size = *b.Get<std::uint32_t>(24);
  h.sensor_count = *b.Get<std::uint32_t>(28);
  h.reading_offset = *b.Get<std::uint32_t>(32);
  h.reading_size = *b.Get<std::uint32_t>(36);
  h.reading_count = *reading_count;
  h.polling_period_ms = h.revision >= 1 ? b.Get<std::uint32_t>(44).value_or(0) : 0;
  return h;
}

std::int64_t StaleAfterMs(const Header& h) {
  return std::clamp<std::int64_t>(3 * static_cast<std::int64_t>(h.polling_period_ms), kMinStaleMs,
                                  kMaxStaleMs);
}

// "GPU [#1]: NVIDIA GeForce RTX 3080: Board" -> "NVIDIA GeForce RTX 3080"; the whole name when
// it has no second field.
std::string AdapterName(std::string_view sensor) {
  const auto first = sensor.find(": ");
  if (first == std::string_view::npos) return std::string(Trim(sensor));
  std::string_view rest = sensor.substr(first + 2);
  return std::string(Trim(rest.substr(0, rest.find(": "))));
}

bool IsGpuSensor(std::string_view sensor) {
  for (std::string_view prefix : {"GPU [#", "iGPU [#", "dGPU [#"}) {
    if (StartsWith(sensor, prefix)) return true;
  }
  return false;
}

}  // namespace

void ClassifyHwinfoReading(Reading& r, int sensor_index) {
  if (StartsWith(r.sensor, "CPU [#")) {
    if (int rank = RankIn(r.label, {"CPU Package", "CPU (Tctl/Tdie)", "CPU Die (average)"});
        rank >= 0) {
      r.role = Role::kCpuPackage;
      r.rank = rank;
    } else if (StartsWith(r.label, "Core") || StartsWith(r.label, "P-core") ||
               StartsWith(r.label, "E-core") || StartsWith(r.label, "CPU CCD")) {
      r.role = Role::kCpuCore;
    }
  } else if (IsGpuSensor(r.sensor)) {
    const int rank = RankIn(r.label, {"GPU Temperature", "GPU Hot Spot Temperature",
                                      "GPU Memory Junction Temperature"});
    r.role = Role::kGpu;
    r.rank = rank >= 0 ? rank : 3;
    r.adapter = sensor_index;
    r.adapter_name = AdapterName(r.sensor);
  }
}

std::optional<Sample> ParseHwinfo(Bytes b, std::int64_t unix_now_s, AnsiDecoder decode) {
  const std::optional<Header> h = ReadHeader(b);
  if (!h) return std::nullopt;
  Sample sample;
  sample.live = h->signature == kHwinfoActive;
  sample.stamp = static_cast<std::uint64_t>(h->poll_time);
  sample.stamp_age_ms = std::max<std::int64_t>(0, unix_now_s - h->poll_time) * 1000;
  sample.stale_after_ms = StaleAfterMs(*h);
  // Elements have grown between versions: step by the header's stride, read only the fields
  // of the first version, and refuse a stride too small to hold them.
  if (h->sensor_size < kHwinfoSensorSizeV1 || h->reading_size < kHwinfoReadingSizeV1) {
    return sample;
  }
  // Read once a second: a sensor's readings follow each other, so its name is decoded once.
  std::optional<std::uint32_t> decoded_sensor;
  std::string sensor_name;
  for (std::uint64_t j = 0; j < h->reading_count; ++j) {
    const std::uint64_t at = h->reading_offset + j * h->reading_size;
    if (!b.Has(at, kHwinfoReadingSizeV1)) break;
    if (*b.Get<std::uint32_t>(at) != kTemperatureReading) continue;
    const std::uint32_t sensor_index = *b.Get<std::uint32_t>(at + 4);
    const std::uint64_t sensor_at =
        h->sensor_offset + static_cast<std::uint64_t>(sensor_index) * h->sensor_size;
    if (sensor_index >= h->sensor_count || !b.Has(sensor_at, kHwinfoSensorSizeV1)) continue;
    if (decoded_sensor != sensor_index) {
      sensor_name = decode(b.Text(sensor_at + 8, 128));  // szSensorNameOrig: English, not renamed
      decoded_sensor = sensor_index;
    }
    Reading& r = sample.readings.emplace_back();
    r.sensor = sensor_name;
    r.label = decode(b.Text(at + 12, 128));  // szLabelOrig
    r.celsius = *b.Get<double>(at + 284);
    if (b.Text(at + 268, 16).ends_with('F')) r.celsius = FahrenheitToCelsius(r.celsius);
    ClassifyHwinfoReading(r, static_cast<int>(sensor_index));
  }
  return sample;
}

std::vector<Reading> ParseHwinfoGadget(const std::vector<GadgetValue>& values) {
  struct Entry {
    std::string sensor, label, value, raw;
  };
  std::map<unsigned long, Entry> entries;
  for (const GadgetValue& v : values) {
    // "ValueRaw" before "Value": the longer prefix first.
    static constexpr std::string_view kFields[] = {"Sensor", "Label", "ValueRaw", "Value"};
    for (std::size_t f = 0; f < std::size(kFields); ++f) {
      if (!StartsWith(v.name, kFields[f])) continue;
      const std::string_view number = std::string_view(v.name).substr(kFields[f].size());
      if (number.empty() || number.size() > 6 ||
          number.find_first_not_of("0123456789") != std::string_view::npos) {
        break;
      }
      Entry& e = entries[std::stoul(std::string(number))];
      std::string* slots[] = {&e.sensor, &e.label, &e.raw, &e.value};
      *slots[f] = v.data;
      break;
    }
  }
  std::vector<Reading> readings;
  std::map<std::string, int> sensor_order;
  for (const auto& [index, e] : entries) {
    // The unit is the token after the number of the formatted value: only °C and °F count.
    // The raw number keeps the precision that the formatted one rounds away.
    const char unit = DegreeUnitOf(e.value);
    std::optional<double> value = ParseDecimal(e.raw);
    if (!value)
      value = ParseDegrees(e.value);
    else if (unit == 'F')
      value = FahrenheitToCelsius(*value);
    if (!unit || !value || e.label.empty()) continue;
    Reading r = MakeReading(e.sensor, e.label, *value);
    const int order =
        sensor_order.emplace(e.sensor, static_cast<int>(sensor_order.size())).first->second;
    ClassifyHwinfoReading(r, order);
    readings.push_back(std::move(r));
  }
  return readings;
}

}  // namespace kalvaro
