// Which LibreHardwareMonitor or OpenHardwareMonitor readings belong to the CPU or an adapter:
// by the hardware's identifier or type, and by the sensor's name.
#include "server/core/lhm.h"

#include <cmath>

#include "server/core/json.h"
#include "server/core/text.h"

namespace kalvaro {

namespace {

enum class Hardware { kCpu, kGpu, kOther };

// "/intelcpu/0", "/amdcpu/0/temperature/2", "/gpu-nvidia/0", "/nvidiagpu/0", "/atigpu/0".
Hardware KindOfIdentifier(std::string_view id) {
  if (!StartsWith(id, "/")) return Hardware::kOther;
  const std::string_view first = id.substr(1, id.find('/', 1) - 1);
  if (first.ends_with("cpu")) return Hardware::kCpu;
  if (StartsWith(first, "gpu") || first.ends_with("gpu")) return Hardware::kGpu;
  return Hardware::kOther;
}

// The WMI class's HardwareType: "Cpu", "GpuNvidia", "GpuAmd", "GpuAti", "GpuIntel".
Hardware KindOfType(std::string_view type) {
  if (type == "CPU" || type == "Cpu") return Hardware::kCpu;
  if (StartsWith(type, "Gpu") || StartsWith(type, "GPU")) return Hardware::kGpu;
  return Hardware::kOther;
}

// The older tree names no type: its pictures do ("images_icon/cpu.png", "nvidia.png", "ati.png").
Hardware KindOfImage(std::string_view url) {
  const std::string_view file = url.substr(url.rfind('/') + 1);
  if (file == "cpu.png") return Hardware::kCpu;
  if (file == "nvidia.png" || file == "ati.png" || file == "amd.png") return Hardware::kGpu;
  return Hardware::kOther;
}

void Classify(Reading& r, Hardware kind, int hardware_index) {
  if (kind == Hardware::kCpu) {
    if (int rank = RankIn(
            r.label, {"CPU Package", "Core (Tctl/Tdie)", "Core (Tdie)", "Core (Tctl)", "CPU Tctl"});
        rank >= 0) {
      r.role = Role::kCpuPackage;
      r.rank = rank;
    } else if ((StartsWith(r.label, "CPU Core") || StartsWith(r.label, "Core") ||
                StartsWith(r.label, "CCD")) &&
               r.label.find("Distance") == std::string::npos && r.label != "Core Average") {
      // "Distance to TjMax" readings are temperatures too, but not of anything.
      r.role = Role::kCpuCore;
    }
  } else if (kind == Hardware::kGpu) {
    const int rank = RankIn(r.label, {"GPU Core", "GPU Hot Spot", "GPU Memory Junction"});
    r.role = Role::kGpu;
    r.rank = rank >= 0 ? rank : 3;
    r.adapter = hardware_index;
    r.adapter_name = r.sensor;
  }
}

struct Walk {
  Sample sample;
  int hardware_seen = 0;
};

bool IsLeaf(const JsonValue& node) {
  const JsonValue* children = node.Find("Children");
  return !children || children->kind != JsonValue::Kind::kArray || children->items.empty();
}

// A group node ("Temperatures", "Clocks", ...) holds only sensors; its parent is the hardware.
bool IsGroup(const JsonValue& node) {
  if (IsLeaf(node)) return false;
  for (const JsonValue& child : node.Find("Children")->items) {
    if (child.kind != JsonValue::Kind::kObject || !IsLeaf(child)) return false;
  }
  return true;
}

std::optional<double> SensorCelsius(const JsonValue& sensor) {
  const JsonValue* raw = sensor.Find("RawValue");
  if (raw && raw->kind == JsonValue::Kind::kNumber) {
    return std::isfinite(raw->number) ? std::optional<double>(raw->number) : std::nullopt;
  }
  return ParseDegrees(sensor.Text("Value"));
}

void AddGroup(const JsonValue& hardware, const JsonValue& group, int index, Walk& walk) {
  Hardware kind = KindOfIdentifier(hardware.Text("HardwareId"));
  if (kind == Hardware::kOther) kind = KindOfImage(hardware.Text("ImageURL"));
  for (const JsonValue& sensor : group.Find("Children")->items) {
    const std::string_view type = sensor.Text("Type");
    if (type.empty() ? group.Text("Text") != "Temperatures" : type != "Temperature") continue;
    const std::optional<double> celsius = SensorCelsius(sensor);
    if (!celsius) continue;
    Hardware sensor_kind = kind;
    if (sensor_kind == Hardware::kOther) sensor_kind = KindOfIdentifier(sensor.Text("SensorId"));
    Reading r =
        MakeReading(std::string(hardware.Text("Text")), std::string(sensor.Text("Text")), *celsius);
    Classify(r, sensor_kind, index);
    walk.sample.readings.push_back(std::move(r));
  }
}

void Visit(const JsonValue& node, int depth, Walk& walk) {
  if (depth >= kJsonMaxDepth || IsLeaf(node)) return;
  const int index = walk.hardware_seen++;
  for (const JsonValue& child : node.Find("Children")->items) {
    if (child.kind != JsonValue::Kind::kObject) continue;
    if (IsGroup(child)) {
      AddGroup(node, child, index, walk);
    } else {
      Visit(child, depth + 1, walk);
    }
  }
}

}  // namespace

std::optional<Sample> ParseLhmJson(std::string_view text) {
  const std::optional<JsonValue> root = ParseJson(text);
  if (!root || root->kind != JsonValue::Kind::kObject || !root->Find("Children")) {
    return std::nullopt;
  }
  Walk walk;
  Visit(*root, 0, walk);
  return std::move(walk.sample);
}

std::vector<Reading> LhmReadingsFromWmi(const std::vector<LhmHardwareRow>& hardware,
                                        const std::vector<LhmSensorRow>& sensors) {
  std::vector<Reading> readings;
  for (const LhmSensorRow& s : sensors) {
    int index = 0;
    const LhmHardwareRow* parent = nullptr;
    for (const LhmHardwareRow& h : hardware) {
      if (h.identifier == s.parent) {
        parent = &h;
        break;
      }
      ++index;
    }
    Hardware kind = parent ? KindOfType(parent->type) : Hardware::kOther;
    if (kind == Hardware::kOther) kind = KindOfIdentifier(s.parent);
    Reading r = MakeReading(parent ? parent->name : s.parent, s.name, s.value);
    Classify(r, kind, index);
    readings.push_back(std::move(r));
  }
  return readings;
}

}  // namespace kalvaro
