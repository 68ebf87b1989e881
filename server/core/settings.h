// The server's settings: string values under HKCU\SOFTWARE\KEM, beside the tray program's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/core/sources.h"

namespace kalvaro {

inline constexpr wchar_t kSensorSource[] = L"sensor_source";
inline constexpr wchar_t kSensorCpuLabel[] = L"sensor_cpu_label";
inline constexpr wchar_t kSensorLhmPort[] = L"sensor_lhm_port";
inline constexpr std::uint16_t kDefaultLhmPort = 8085;
inline constexpr std::size_t kMaxLabelBytes = 127;  // HWiNFO's label fields hold 127 and a NUL

// One value as stored: absent, a string (UTF-8), or of another type.
struct StoredValue {
  enum class Kind { kAbsent, kString, kOtherType } kind = Kind::kAbsent;
  std::string text;
};

struct StoredSettings {
  StoredValue source, cpu_label, lhm_port;
};

struct ServerSettings {
  std::optional<SourceId> only;  // "auto" (or nothing) tries every source in order
  std::string cpu_label;         // empty: the server's own choice
  std::uint16_t lhm_port = kDefaultLhmPort;
};

// The settings the stored values give. A bad value counts as the default, and `complaints`
// gets one line for it, naming the setting, the value and what is used instead.
ServerSettings ParseSettings(const StoredSettings& stored, std::vector<std::string>* complaints);

}  // namespace kalvaro
