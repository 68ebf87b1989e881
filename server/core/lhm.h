// LibreHardwareMonitor and OpenHardwareMonitor: the web server's data.json and the WMI classes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/core/reading.h"

namespace kalvaro {

// The temperature readings of a data.json tree, in both shapes: LibreHardwareMonitor's from
// 0.9.5 on (sensor ids, types and raw numbers) and the older one of both programs (texts with
// the culture's decimal separator and the unit chosen in the program). Nothing when the text is
// not such a tree.
std::optional<Sample> ParseLhmJson(std::string_view text);

// One instance of the WMI classes "Hardware" and "Sensor" (SensorType 'Temperature').
struct LhmHardwareRow {
  std::string identifier, name, type;  // "/gpu-nvidia/0", "NVIDIA GeForce ...", "GpuNvidia"
};
struct LhmSensorRow {
  std::string identifier, parent, name;  // parent: the hardware's identifier
  double value = 0;                      // Celsius; 0 when there is no reading
};

std::vector<Reading> LhmReadingsFromWmi(const std::vector<LhmHardwareRow>& hardware,
                                        const std::vector<LhmSensorRow>& sensors);

}  // namespace kalvaro
