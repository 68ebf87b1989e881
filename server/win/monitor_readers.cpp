// The readers of the seven sources. HWiNFO and Argus Monitor stay mapped between looks: their
// stamps show when they stop. The others are opened anew at each look, since only a section or
// a key that has gone tells that they have ended.
#include "server/win/monitor_readers.h"

#include <algorithm>
#include <cstdint>

#include "app/base/utf8_text.h"
#include "app/system/user_key.h"
#include "app/temperature/process_list.h"
#include "server/core/aida64.h"
#include "server/core/argus.h"
#include "server/core/coretemp.h"
#include "server/core/http_response.h"
#include "server/core/hwinfo.h"
#include "server/core/lhm.h"
#include "server/core/settings.h"
#include "server/win/loopback_http.h"
#include "server/win/win_text.h"

namespace kalvaro {

namespace {

// HWiNFO rewrites its Gadget key at every poll; a key unchanged for longer may be what an
// ended HWiNFO left behind.
constexpr std::int64_t kGadgetFrozenMs = 10000;
constexpr const wchar_t* kGadgetKeys[] = {L"Software\\HWiNFO64\\VSB", L"Software\\HWiNFO32\\VSB"};
constexpr const wchar_t* kHwinfoPrograms[] = {L"HWiNFO64.exe", L"HWiNFO32.exe", L"HWiNFO.exe"};

std::int64_t FileTimeMs(const FILETIME& t) {
  return static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000);
}

std::int64_t NowMs() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return FileTimeMs(now);
}

// Unix time from the system time: the C runtime's time() costs forty times as much under Wine,
// and this runs once a second.
std::int64_t UnixSeconds() {
  constexpr std::int64_t kUnixEpochMs = 11644473600000;  // 1970 in FILETIME's milliseconds
  return (NowMs() - kUnixEpochMs) / 1000;
}

// When the oldest running HWiNFO started (ms of FILETIME), or nothing when none runs. A
// process list that cannot be read gives the key the benefit of the doubt.
std::optional<std::int64_t> HwinfoStarted() {
  std::optional<std::int64_t> started;
  for (const wchar_t* program : kHwinfoPrograms) {
    const auto ids = calorix::FindProcessesByName(program);
    if (!ids) return 0;
    for (DWORD id : *ids) {
      calorix::UniqueKernelHandle process(
          ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
      FILETIME created{}, exited, kernel, user;
      if (!process || !::GetProcessTimes(process.get(), &created, &exited, &kernel, &user))
        return 0;
      started = std::min(started.value_or(INT64_MAX), FileTimeMs(created));
    }
  }
  return started;
}

// The key's REG_SZ values, or nothing when there is no such key.
std::optional<std::vector<GadgetValue>> GadgetValues(HKEY key) {
  DWORD count = 0, name_max = 0, data_max = 0;
  FILETIME written{};
  if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &name_max, &data_max, nullptr, &written) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // A key that has stood still may only hold values that change little: it counts while an
  // HWiNFO runs that wrote it, not when it was left by one that has ended.
  if (NowMs() - FileTimeMs(written) > kGadgetFrozenMs) {
    const std::optional<std::int64_t> started = HwinfoStarted();
    if (!started || FileTimeMs(written) < *started) return std::nullopt;
  }
  std::vector<GadgetValue> values;
  std::wstring name(name_max + 1, L'\0');
  std::wstring data(data_max / sizeof(wchar_t) + 1, L'\0');
  for (DWORD i = 0; i < count; ++i) {
    DWORD name_size = static_cast<DWORD>(name.size()), data_size = data_max, type = 0;
    // Values may go while the key is rewritten: what is left is read.
    if (::RegEnumValueW(key, i, name.data(), &name_size, nullptr, &type,
                        reinterpret_cast<BYTE*>(data.data()), &data_size) != ERROR_SUCCESS) {
      break;
    }
    if (type != REG_SZ) continue;
    std::wstring_view text(data.data(), data_size / sizeof(wchar_t));
    if (const auto nul = text.find(L'\0'); nul != text.npos) text = text.substr(0, nul);
    values.push_back({calorix::ToUtf8({name.data(), name_size}), calorix::ToUtf8(text)});
  }
  return values;
}

double TenthsOfKelvinToCelsius(double tenths) { return tenths / 10.0 - 273.15; }

}  // namespace

MonitorReaders::MonitorReaders(WmiConnect wmi)
    : wmi_(std::move(wmi)),
      lhm_port_(kDefaultLhmPort),
      // HWiNFO's lock is optional, and taking it every second would make HWiNFO wait for us
      // and cost two calls to the system; a copy torn by its writing is read safely anyway.
      hwinfo_({L"Global\\HWiNFO_SENS_SM2", L"HWiNFO_SENS_SM2"}),
      aida64_({L"AIDA64_SensorValues", L"Global\\AIDA64_SensorValues"}),
      coretemp_({L"CoreTempMappingObjectEx", L"Global\\CoreTempMappingObjectEx",
                 L"CoreTempMappingObject", L"Global\\CoreTempMappingObject"},
                L"CoreTempMutexObject"),
      argus_({L"Global\\ARGUSMONITOR_DATA_INTERFACE", L"ARGUSMONITOR_DATA_INTERFACE"},
             L"Global\\ARGUSMONITOR_DATA_INTERFACE_MUTEX") {}

std::optional<Sample> MonitorReaders::Read(SourceId id) {
  switch (id) {
    case SourceId::kHwinfo:
      return ReadHwinfo();
    case SourceId::kLhm:
      return ReadLhm();
    case SourceId::kAida64:
      return ReadAida64();
    case SourceId::kCoreTemp:
      return ReadCoreTemp();
    case SourceId::kArgus:
      return ReadArgus();
    case SourceId::kHwinfoRegistry:
      return ReadGadget();
    case SourceId::kAcpi:
      return ReadAcpi();
  }
  return std::nullopt;
}

void MonitorReaders::Release(SourceId id) {
  if (id == SourceId::kHwinfo) hwinfo_.Close();
  if (id == SourceId::kArgus) argus_.Close();
}

std::optional<Sample> MonitorReaders::ReadHwinfo() {
  if (!hwinfo_.Copy(copy_, true)) return std::nullopt;
  return ParseHwinfo(Bytes(copy_.data(), copy_.size()), UnixSeconds(), Utf8FromAnsi);
}

std::optional<Sample> MonitorReaders::ReadAida64() {
  if (!aida64_.Copy(copy_, false)) return std::nullopt;
  const std::string_view all(reinterpret_cast<const char*>(copy_.data()), copy_.size());
  return ParseAida64(all.substr(0, all.find('\0')), Utf8FromAnsi);
}

std::optional<Sample> MonitorReaders::ReadCoreTemp() {
  if (!coretemp_.Copy(copy_, false)) return std::nullopt;
  return ParseCoreTemp(Bytes(copy_.data(), copy_.size()), Utf8FromAnsi);
}

std::optional<Sample> MonitorReaders::ReadArgus() {
  if (!argus_.Copy(copy_, true)) return std::nullopt;
  return ParseArgus(Bytes(copy_.data(), copy_.size()));
}

std::optional<Sample> MonitorReaders::ReadLhm() {
  // From 0.9.5 on only the web server publishes; older releases and OpenHardwareMonitor have
  // WMI.
  if (const auto raw = LoopbackGet(lhm_port_, "/data.json")) {
    const auto response = ParseHttpResponse(*raw);
    if (response && response->status == 200) {
      if (auto sample = ParseLhmJson(response->body)) return sample;
    }
  }
  return ReadLhmWmi();
}

std::optional<Sample> MonitorReaders::ReadLhmWmi() {
  for (const wchar_t* ns : {L"ROOT\\LibreHardwareMonitor", L"ROOT\\OpenHardwareMonitor"}) {
    IWbemServices* services = Services(ns);
    if (!services) continue;
    const auto hardware = WmiQuery(services, L"SELECT Identifier, Name, HardwareType FROM Hardware",
                                   {L"Identifier", L"Name", L"HardwareType"});
    const auto sensors = WmiQuery(
        services,
        L"SELECT Identifier, Parent, Name, Value FROM Sensor WHERE SensorType='Temperature'",
        {L"Identifier", L"Parent", L"Name", L"Value"});
    if (!hardware || !sensors) Forget(ns);
    if (!hardware || !sensors || sensors->empty()) continue;
    std::vector<LhmHardwareRow> hardware_rows;
    for (const WmiRow& h : *hardware) hardware_rows.push_back({h[0].text, h[1].text, h[2].text});
    std::vector<LhmSensorRow> sensor_rows;
    for (const WmiRow& s : *sensors) {
      sensor_rows.push_back({s[0].text, s[1].text, s[2].text, s[3].number.value_or(0)});
    }
    Sample sample;
    sample.readings = LhmReadingsFromWmi(hardware_rows, sensor_rows);
    return sample;
  }
  return std::nullopt;
}

IWbemServices* MonitorReaders::Services(const wchar_t* ns) {
  calorix::ComPtr<IWbemServices>& services = services_[ns];
  if (!services) services = wmi_(ns);
  return services.get();
}

std::optional<Sample> MonitorReaders::ReadGadget() {
  for (const wchar_t* path : kGadgetKeys) {
    // The elevated server would publish what a link leads to, wherever that is.
    const calorix::UniqueRegKey key = calorix::OpenUserKey(path, KEY_QUERY_VALUE);
    if (!key) continue;
    const auto values = GadgetValues(key.get());
    if (!values) continue;
    Sample sample;
    sample.readings = ParseHwinfoGadget(*values);
    return sample;
  }
  return std::nullopt;
}

std::optional<Sample> MonitorReaders::ReadAcpi() {
  struct Zones {
    const wchar_t* ns;
    const wchar_t* query;
    std::vector<const wchar_t*> properties;  // the zone's name, then its temperature(s)
  };
  // Tenths of kelvin; the counter's whole kelvin only where it lacks the precise one.
  const Zones kZones[] = {
      {L"ROOT\\WMI",
       L"SELECT InstanceName, CurrentTemperature FROM MSAcpi_ThermalZoneTemperature",
       {L"InstanceName", L"CurrentTemperature"}},
      {L"ROOT\\CIMV2",
       L"SELECT Name, HighPrecisionTemperature, Temperature FROM "
       L"Win32_PerfFormattedData_Counters_ThermalZoneInformation",
       {L"Name", L"HighPrecisionTemperature", L"Temperature"}},
  };
  for (const Zones& zones : kZones) {
    const auto rows = WmiQuery(Services(zones.ns), zones.query, zones.properties);
    if (!rows) Forget(zones.ns);
    Sample sample;
    for (const WmiRow& row : rows.value_or(std::vector<WmiRow>{})) {
      std::optional<double> tenths = row[1].number;
      if ((!tenths || *tenths == 0) && row.size() > 2 && row[2].number) {
        tenths = *row[2].number * 10;
      }
      if (!tenths) continue;
      // A zone is the board's or the firmware's, not the CPU's own: the highest stands in.
      sample.readings.push_back(
          MakeReading("ACPI", row[0].text, TenthsOfKelvinToCelsius(*tenths), Role::kCpuCore));
    }
    if (!sample.readings.empty()) return sample;
  }
  return std::nullopt;
}

}  // namespace kalvaro
