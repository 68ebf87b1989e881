// Writing each monitor's layout byte by byte, at the offsets the fact sheet gives.
#include "tools/sensor_publisher/layouts.h"

#include <cstdio>
#include <cstring>

namespace sensors {

namespace {

template <class T>
void Put(std::vector<std::uint8_t>& b, std::size_t at, T value) {
  std::memcpy(b.data() + at, &value, sizeof value);
}

void PutText(std::vector<std::uint8_t>& b, std::size_t at, const std::string& text,
             std::size_t field) {
  std::memcpy(b.data() + at, text.data(), std::min(text.size(), field - 1));
}

// UTF-8 without characters beyond U+FFFF, as UTF-16LE into a field of `units` code units.
void PutWide(std::vector<std::uint8_t>& b, std::size_t at, const std::string& text,
             std::size_t units) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size() && n + 1 < units; ++n) {
    const unsigned char c = text[i];
    std::uint32_t code = c;
    if (c >= 0xE0 && i + 2 < text.size()) {
      code = (c & 0x0F) << 12 | (text[i + 1] & 0x3F) << 6 | (text[i + 2] & 0x3F);
      i += 3;
    } else if (c >= 0xC0 && i + 1 < text.size()) {
      code = (c & 0x1F) << 6 | (text[i + 1] & 0x3F);
      i += 2;
    } else {
      ++i;
    }
    Put<std::uint16_t>(b, at + 2 * n, static_cast<std::uint16_t>(code));
  }
}

std::string Number(double value, bool comma) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string out = text;
  if (comma) out[out.find('.')] = ',';
  return out;
}

double ToFahrenheit(double c) { return c * 9.0 / 5.0 + 32.0; }

// ---- HWiNFO ----------------------------------------------------------------------------------

struct HwReading {
  std::uint32_t type, sensor;
  std::string label, unit;
  double value;
};

}  // namespace

std::vector<std::uint8_t> HwinfoLayout(const Published& p, const HwinfoOptions& o) {
  const bool v1 = o.version == 1;
  const std::uint32_t sensor_size = v1 ? 264 : 392;
  const std::uint32_t reading_size = o.reading_size ? o.reading_size : v1 ? 316 : 460;
  std::vector<std::string> sensor_names = {"CPU [#0]: " + p.cpu_name + ": DTS"};
  const std::string degrees = o.fahrenheit ? "\xB0"
                                             "F"
                                           : "\xB0"
                                             "C";
  auto temperature = [&](double c) { return o.fahrenheit ? ToFahrenheit(c) : c; };
  std::vector<HwReading> readings;
  for (const Value& v : p.cpu) readings.push_back({1, 0, v.key, degrees, temperature(v.celsius)});
  for (std::size_t i = 0; i < p.cores.size(); ++i) {
    readings.push_back({1, 0, "Core #" + std::to_string(i), degrees, temperature(p.cores[i])});
  }
  readings.push_back({2, 0, "Vcore", "V", 1.2});
  for (std::size_t i = 0; i < p.gpus.size(); ++i) {
    const auto sensor = static_cast<std::uint32_t>(sensor_names.size());
    sensor_names.push_back("GPU [#" + std::to_string(i) + "]: " + p.gpus[i].key + ": Board");
    readings.push_back(
        {1, sensor, "GPU Hot Spot Temperature", degrees, temperature(p.gpus[i].celsius + 10)});
    readings.push_back({1, sensor, "GPU Temperature", degrees, temperature(p.gpus[i].celsius)});
  }
  sensor_names.push_back("S.M.A.R.T.: Test Disk");
  readings.push_back({1, static_cast<std::uint32_t>(sensor_names.size() - 1), "Drive Temperature",
                      degrees, temperature(38)});

  const std::uint32_t header = v1 ? 44 : 48;
  const std::uint32_t reading_offset =
      header + sensor_size * static_cast<std::uint32_t>(sensor_names.size());
  std::vector<std::uint8_t> b(reading_offset + reading_size * readings.size());
  Put<std::uint32_t>(b, 0, o.dead ? 0x44414544 : 0x53695748);
  Put<std::uint32_t>(b, 4, v1 ? 1 : 2);
  Put<std::uint32_t>(b, 8, v1 ? 0 : 1);
  Put<std::int64_t>(b, 12, o.poll_time);
  Put<std::uint32_t>(b, 20, header);
  Put<std::uint32_t>(b, 24, sensor_size);
  Put<std::uint32_t>(b, 28, static_cast<std::uint32_t>(sensor_names.size()));
  Put<std::uint32_t>(b, 32, reading_offset);
  Put<std::uint32_t>(b, 36, reading_size);
  Put<std::uint32_t>(b, 40, static_cast<std::uint32_t>(readings.size()));
  if (!v1) Put<std::uint32_t>(b, 44, o.polling_period_ms);
  for (std::size_t i = 0; i < sensor_names.size(); ++i) {
    const std::size_t at = header + i * sensor_size;
    Put<std::uint32_t>(b, at, 0xF0000000u + static_cast<std::uint32_t>(i));
    PutText(b, at + 8, sensor_names[i], 128);
    PutText(b, at + 136, sensor_names[i], 128);
    if (!v1) PutText(b, at + 264, sensor_names[i], 128);
  }
  for (std::size_t j = 0; j < readings.size(); ++j) {
    const HwReading& r = readings[j];
    const std::size_t at = reading_offset + j * reading_size;
    Put(b, at, r.type);
    Put(b, at + 4, r.sensor);
    Put<std::uint32_t>(b, at + 8, static_cast<std::uint32_t>(j));
    PutText(b, at + 12, r.label, 128);
    PutText(b, at + 140, r.label, 128);
    PutText(b, at + 268, r.unit, 16);
    for (std::size_t f = 284; f <= 308; f += 8) Put(b, at + f, r.value);
    if (!v1 && reading_size >= 460) {
      PutText(b, at + 316, r.label, 128);
      PutText(b, at + 444, r.unit == "V" ? r.unit : "\xC2" + r.unit, 16);
    }
  }
  return b;
}

// ---- AIDA64 ----------------------------------------------------------------------------------

std::string Aida64Text(const Published& p, const std::string& time, bool comma, bool trial) {
  auto item = [](const std::string& group, const std::string& id, const std::string& label,
                 const std::string& value) {
    return "<" + group + "><id>" + id + "</id><label>" + label + "</label><value>" + value +
           "</value></" + group + ">\r\n  ";
  };
  std::string text;
  if (!time.empty()) text += item("sys", "STIME", "Time", time);
  for (const Value& v : p.cpu) {
    const std::string label = v.key == "TCPUPKG"   ? "CPU Package"
                              : v.key == "TCPUDIO" ? "CPU Diode"
                              : v.key == "TCPUIAC" ? "CPU IA Cores"
                              : v.key == "TCPU"    ? "CPU"
                                                   : v.key;
    text += item("temp", v.key, label, Number(v.celsius, comma));
  }
  for (std::size_t k = 0; k < p.cores.size(); ++k) {
    const std::string n = std::to_string(k + 1);
    text += item("temp", "TCC-1-" + n, "CPU #1 / Core #" + n, Number(p.cores[k], comma));
  }
  for (std::size_t i = 0; i < p.gpus.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    text += item("temp", "TGPU" + n + "DIO", (i ? "GPU" + n : std::string("GPU")) + " Diode",
                 Number(p.gpus[i].celsius, comma));
    text += item("temp", "TGPU" + n + "HOT", "GPU" + n + " Hotspot",
                 Number(p.gpus[i].celsius + 10, comma));
  }
  text += item("temp", "TMOBO", "Motherboard", trial ? "TRIAL" : Number(36, comma));
  text += item("fan", "FCPU", "CPU", "1250");
  text += item("volt", "VCPU", "CPU Core", comma ? "1,200" : "1.200");
  return text;
}

// ---- Core Temp -------------------------------------------------------------------------------

std::vector<std::uint8_t> CoreTempLayout(const Published& p, const CoreTempOptions& o) {
  std::vector<std::uint8_t> b(o.extended ? 4740 : 2688);
  const std::uint32_t cpus = static_cast<std::uint32_t>(o.cpus);
  const auto cores = static_cast<std::uint32_t>(p.cores.size() / cpus);
  const double tjmax = o.fahrenheit ? ToFahrenheit(kCoreTempTjMax) : kCoreTempTjMax;
  for (std::uint32_t c = 0; c < cpus; ++c) {
    Put<std::uint32_t>(b, 1024 + 4 * c, static_cast<std::uint32_t>(tjmax));
  }
  Put(b, 1536, cores);
  Put(b, 1540, cpus);
  for (std::size_t i = 0; i < cores * cpus; ++i) {
    double t = o.fahrenheit ? ToFahrenheit(p.cores[i]) : p.cores[i];
    if (o.delta_to_tjmax) t = static_cast<std::uint32_t>(tjmax) - t;
    Put(b, 1544 + 4 * i, static_cast<float>(t));
    Put<std::uint32_t>(b, 4 * i, 10);  // load
  }
  Put(b, 2568, 1.25f);
  Put(b, 2572, 3600.0f);
  PutText(b, 2584, p.cpu_name, 100);
  b[2684] = o.fahrenheit;
  b[2685] = o.delta_to_tjmax;
  if (o.extended) Put<std::uint32_t>(b, 2688, 2);
  return b;
}

// ---- Argus Monitor ---------------------------------------------------------------------------

std::vector<std::uint8_t> ArgusLayout(const Published& p, const ArgusOptions& o) {
  struct Record {
    std::uint32_t type;
    std::string label, unit;
    double value;
    std::uint32_t data_index, sensor_index;
  };
  std::vector<Record> records;
  records.push_back({1, "Mainboard",
                     "\xC2\xB0"
                     "C",
                     34, 0, 0});
  records.push_back({3, "CPU Fan", "rpm", 1100, 0, 0});
  for (const Value& v : p.cpu)
    records.push_back({6, v.key,
                       "\xC2\xB0"
                       "C",
                       v.celsius, 0, 0});
  for (std::size_t k = 0; k < p.cores.size(); ++k) {
    records.push_back({6, "Core " + std::to_string(k),
                       "\xC2\xB0"
                       "C",
                       p.cores[k], static_cast<std::uint32_t>(k), 0});
  }
  for (std::size_t i = 0; i < p.gpus.size(); ++i) {
    records.push_back({10, "GPU",
                       "\xC2\xB0"
                       "C",
                       p.gpus[i].celsius, 0, static_cast<std::uint32_t>(i)});
  }
  for (std::size_t i = 0; i < p.gpus.size(); ++i) {
    records.push_back({11, p.gpus[i].key, "", 0, 0, static_cast<std::uint32_t>(i)});
  }
  records.push_back({21, "Test Disk",
                     "\xC2\xB0"
                     "C",
                     37, 0, 0});

  const std::size_t n = static_cast<std::size_t>(o.sensor_types);
  const std::size_t data = 24 + 8 * n;
  std::vector<std::uint8_t> b(std::max(o.section_size, data + 212 * records.size()));
  Put<std::uint32_t>(b, 0, 0x4D677241);
  b[4] = 7;
  Put<std::uint32_t>(b, 8, 3000);
  Put<std::uint32_t>(b, 12, 1);
  Put(b, 16, o.cycle);
  std::vector<std::uint32_t> first(n), count(n);
  for (std::size_t r = 0; r < records.size(); ++r) {
    const std::uint32_t t = records[r].type;
    if (count[t]++ == 0) first[t] = static_cast<std::uint32_t>(r);
    const std::size_t at = data + 212 * r;
    Put(b, at, t);
    PutWide(b, at + 4, records[r].label, 64);
    PutWide(b, at + 132, records[r].unit, 32);
    Put(b, at + 196, records[r].value);
    Put(b, at + 204, records[r].data_index);
    Put(b, at + 208, records[r].sensor_index);
  }
  for (std::size_t t = 0; t < n; ++t) {
    Put(b, 20 + 4 * t, first[t]);
    Put(b, 20 + 4 * n + 4 * t, count[t]);
  }
  Put<std::uint32_t>(b, 20 + 8 * n, static_cast<std::uint32_t>(records.size()));
  return b;
}

// ---- LibreHardwareMonitor --------------------------------------------------------------------

namespace {

class JsonTree {
 public:
  explicit JsonTree(const LhmOptions& o) : o_(o) {}

  std::string Sensor(const std::string& id_path, const std::string& type, const std::string& text,
                     double value, const char* unit) {
    const bool temperature = type == "Temperature";
    const double shown = temperature && o_.fahrenheit ? ToFahrenheit(value) : value;
    const std::string formatted =
        Number(shown, o_.comma) + " " + (temperature ? (o_.fahrenheit ? "°F" : "°C") : unit);
    std::string node = Open(text) + "\"Min\":\"" + formatted + "\",\"Value\":\"" + formatted +
                       "\",\"Max\":\"" + formatted + "\",\"ImageURL\":\"images/transparent.png\"";
    if (o_.raw) {
      const std::string raw = Number(value, false);
      node += ",\"SensorId\":\"" + id_path + "\",\"Type\":\"" + type + "\",\"RawMin\":" + raw +
              ",\"RawValue\":" + raw + ",\"RawMax\":" + raw;
    }
    return node + ",\"Children\":[]}";
  }

  std::string Node(const std::string& text, const std::string& image, const std::string& id,
                   const std::vector<std::string>& children) {
    std::string node =
        Open(text) + "\"Min\":\"\",\"Value\":\"\",\"Max\":\"\",\"ImageURL\":\"" + image + "\"";
    if (o_.raw && !id.empty()) node += ",\"HardwareId\":\"" + id + "\"";
    node += ",\"Children\":[";
    for (std::size_t i = 0; i < children.size(); ++i) node += (i ? ",\n" : "\n") + children[i];
    return node + "]}";
  }

 private:
  std::string Open(const std::string& text) {
    return "{\"id\":" + std::to_string(next_id_++) + ",\"Text\":\"" + text + "\",";
  }

  const LhmOptions& o_;
  int next_id_ = 0;
};

}  // namespace

std::string LhmJson(const Published& p, const LhmOptions& o) {
  JsonTree tree(o);
  const std::string root = tree.Node("Sensor", "", "", {});  // numbered first, filled below
  std::vector<std::string> cpu_temperatures;
  int k = 0;
  for (const Value& v : p.cpu) {
    cpu_temperatures.push_back(tree.Sensor("/intelcpu/0/temperature/" + std::to_string(k++),
                                           "Temperature", v.key, v.celsius, ""));
  }
  for (std::size_t i = 0; i < p.cores.size(); ++i) {
    cpu_temperatures.push_back(tree.Sensor("/intelcpu/0/temperature/" + std::to_string(k++),
                                           "Temperature", "CPU Core #" + std::to_string(i + 1),
                                           p.cores[i], ""));
    cpu_temperatures.push_back(tree.Sensor(
        "/intelcpu/0/temperature/" + std::to_string(k++), "Temperature",
        "CPU Core #" + std::to_string(i + 1) + " Distance to TjMax", 100 - p.cores[i], ""));
  }
  std::vector<std::string> hardware = {
      tree.Node(p.cpu_name, "images_icon/cpu.png", "/intelcpu/0",
                {tree.Node("Clocks", "images_icon/clock.png", "",
                           {tree.Sensor("/intelcpu/0/clock/0", "Clock", "Bus Speed", 100, "MHz")}),
                 tree.Node("Temperatures", "images_icon/temperature.png", "", cpu_temperatures)})};
  for (std::size_t i = 0; i < p.gpus.size(); ++i) {
    const std::string id = "/gpu-nvidia/" + std::to_string(i);
    hardware.push_back(tree.Node(
        p.gpus[i].key, "images_icon/nvidia.png", id,
        {tree.Node(
            "Temperatures", "images_icon/temperature.png", "",
            {tree.Sensor(id + "/temperature/0", "Temperature", "GPU Core", p.gpus[i].celsius, ""),
             tree.Sensor(id + "/temperature/2", "Temperature", "GPU Hot Spot",
                         p.gpus[i].celsius + 10, "")})}));
  }
  hardware.push_back(tree.Node(
      "Test Disk", "images_icon/hdd.png", "/nvme/0",
      {tree.Node("Temperatures", "images_icon/temperature.png", "",
                 {tree.Sensor("/nvme/0/temperature/0", "Temperature", "Temperature", 39, "")})}));
  const std::string computer = tree.Node("TESTPC", "images_icon/computer.png", "", hardware);
  return root.substr(0, root.size() - 2) + computer + "]}";
}

// ---- HWiNFO Gadget ---------------------------------------------------------------------------

std::vector<std::pair<std::string, std::string>> GadgetValues(const Published& p, bool comma) {
  std::vector<std::pair<std::string, std::string>> values;
  int n = 0;
  auto add = [&](const std::string& sensor, const std::string& label, double value,
                 const std::string& unit) {
    const std::string i = std::to_string(n++);
    values.push_back({"Sensor" + i, sensor});
    values.push_back({"Label" + i, label});
    values.push_back({"Value" + i, Number(value, comma) + " " + unit});
    values.push_back({"ValueRaw" + i, Number(value, comma)});
    values.push_back({"Color" + i, "004000"});
  };
  const std::string cpu = "CPU [#0]: " + p.cpu_name + ": DTS";
  for (const Value& v : p.cpu) add(cpu, v.key, v.celsius, "°C");
  for (std::size_t k = 0; k < p.cores.size(); ++k) {
    add(cpu, "Core #" + std::to_string(k), p.cores[k], "°C");
  }
  add("CPU Fan", "CPU", 1200, "RPM");
  for (std::size_t i = 0; i < p.gpus.size(); ++i) {
    add("GPU [#" + std::to_string(i) + "]: " + p.gpus[i].key + ": Board", "GPU Temperature",
        p.gpus[i].celsius, "°C");
  }
  return values;
}

}  // namespace sensors
