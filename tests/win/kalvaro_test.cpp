// The server's readers against the test publisher of each monitor and a double of WMI, and
// the server program itself: one copy, the block it writes, its settings' log lines.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/system/settings.h"
#include "app/system/work_folder.h"
#include "app/temperature/temperature_mapping.h"
#include "server/core/block.h"
#include "server/core/settings.h"
#include "server/win/monitor_readers.h"
#include "tests/doubles/wmi_double.h"
#include "tests/portable/chosen_readings.h"
#include "tests/win/server_test_support.h"
#include "tests/win/win_test_support.h"

namespace kalvaro {
namespace {

using calorix::test::Publisher;
using calorix::test::Quote;
using test::Chosen;

std::string ChosenOf(const std::optional<Sample>& s) { return s ? Chosen(s->readings) : "absent"; }

TEST(KalvaroReaders, EveryPublishedFormatAndWhatItLeavesBehind) {
  const std::wstring port = std::to_wstring(20000 + ::GetCurrentProcessId() % 20000);
  struct Case {
    std::wstring args;
    SourceId id;
    const char* chosen;
    const char* after;  // once the monitor has ended
  } cases[] = {
      {L"hwinfo --cpu \"CPU Package=65.7\" --core 60 --gpu \"Test GPU=52.5\"", SourceId::kHwinfo,
       "CPU Package=65.7 | Test GPU=52.5", "not current"},
      {L"aida64 --cpu TCPUPKG=48 --core 44", SourceId::kAida64, "CPU Package=48.0", "absent"},
      {L"coretemp --core 55 --core 58 --delta", SourceId::kCoreTemp, "Core #1=58.0", "absent"},
      {L"argus --types 26 --core 50 --core 57 --gpu \"Test GPU=40\"", SourceId::kArgus,
       "Core 1=57.0 | Test GPU=40.0", "not current"},
      {L"gadget --comma --cpu \"CPU Package=61.5\"", SourceId::kHwinfoRegistry, "CPU Package=61.5",
       "absent"},
      {L"lhm --old --comma --cpu \"CPU Package=63.5\" --gpu \"Test GPU=45\" --port " + port,
       SourceId::kLhm, "CPU Package=63.5 | Test GPU=45.0", "absent"},
  };
  wmi_double::Repository nothing;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    MonitorReaders readers([&](const wchar_t* ns) { return nothing.Connect(ns); });
    readers.SetLhmPort(static_cast<std::uint16_t>(std::stoi(port)));
    EXPECT_EQ(ChosenOf(readers.Read(c.id)), "absent");
    Publisher publisher(c.args);
    ASSERT_TRUE(publisher.ready());
    EXPECT_EQ(ChosenOf(readers.Read(c.id)), c.chosen);
    publisher.Stop();
    const auto after = readers.Read(c.id);
    EXPECT_EQ(after ? (after->live ? "live" : "not current") : "absent", std::string(c.after));
    readers.Release(c.id);  // the view kept open was all that held the section
    EXPECT_EQ(ChosenOf(readers.Read(c.id)), "absent");
  }
}

TEST(KalvaroReaders, WmiOfOlderMonitorsAndTheThermalZones) {
  wmi_double::Repository wmi;
  MonitorReaders readers([&](const wchar_t* ns) { return wmi.Connect(ns); });
  readers.SetLhmPort(1);  // nobody answers there: WMI is asked
  EXPECT_FALSE(readers.Read(SourceId::kLhm));
  EXPECT_FALSE(readers.Read(SourceId::kAcpi));
  const std::wstring ohm = L"ROOT\\OpenHardwareMonitor";
  wmi.Add(ohm, L"Hardware",
          {{L"Identifier", L"/intelcpu/0"}, {L"Name", L"Test CPU"}, {L"HardwareType", L"CPU"}});
  wmi.Add(
      ohm, L"Hardware",
      {{L"Identifier", L"/nvidiagpu/0"}, {L"Name", L"Test GPU"}, {L"HardwareType", L"GpuNvidia"}});
  for (auto [id, parent, name, value] :
       {std::tuple{L"/intelcpu/0/temperature/0", L"/intelcpu/0", L"CPU Core #1", 58.0},
        {L"/intelcpu/0/temperature/4", L"/intelcpu/0", L"CPU Package", 61.0},
        {L"/nvidiagpu/0/temperature/0", L"/nvidiagpu/0", L"GPU Core", 49.0}}) {
    wmi.Add(ohm, L"Sensor",
            {{L"Identifier", id}, {L"Parent", parent}, {L"Name", name}, {L"Value", value}});
  }
  EXPECT_EQ(ChosenOf(readers.Read(SourceId::kLhm)), "CPU Package=61.0 | Test GPU=49.0");
  EXPECT_NE(wmi.queries().back().find(L"WHERE SensorType='Temperature'"), std::wstring::npos);

  // Tenths of kelvin from the firmware's class; the counter's class where that one is empty.
  wmi.Add(
      L"ROOT\\CIMV2", L"Win32_PerfFormattedData_Counters_ThermalZoneInformation",
      {{L"Name", L"\\_TZ.TZ00"}, {L"HighPrecisionTemperature", 3132.0}, {L"Temperature", 313.0}});
  wmi.Add(L"ROOT\\CIMV2", L"Win32_PerfFormattedData_Counters_ThermalZoneInformation",
          {{L"Name", L"\\_TZ.TZ01"},
           {L"HighPrecisionTemperature", std::monostate{}},
           {L"Temperature", 318.0}});
  EXPECT_EQ(ChosenOf(readers.Read(SourceId::kAcpi)), "\\_TZ.TZ01=44.9");
  wmi.Add(L"ROOT\\WMI", L"MSAcpi_ThermalZoneTemperature",
          {{L"InstanceName", L"ACPI\\ThermalZone\\TZ00_0"}, {L"CurrentTemperature", 3232.0}});
  EXPECT_EQ(ChosenOf(readers.Read(SourceId::kAcpi)), "ACPI\\ThermalZone\\TZ00_0=50.1");
  EXPECT_EQ(wmi.outstanding, 0);
}

std::string ServerLog() {
  std::ifstream file(calorix::WorkFolder() / L"kalvaro.log");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(KalvaroServer, OneCopyPublishesWhatTheMonitorSaysAndNothingWithoutOne) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\KEM");
  calorix::ReadSetting(calorix::kLedSwitch);  // creates the key
  calorix::WriteSetting(kSensorSource, L"speedfan");
  const std::size_t log_start = ServerLog().size();
  const std::wstring server = Quote(calorix::test::ProgramFolder() + L"Kalvaro.exe");
  calorix::test::ChildProcess first(server);
  calorix::TemperatureMapping mapping;
  ASSERT_TRUE(mapping.EnsureMapped());
  const calorix::TemperatureBlock& block = *mapping.Block();
  ASSERT_TRUE(calorix::test::WaitFor([&] { return ReadSourceTag(block).has_value(); }, 10000));
  EXPECT_EQ(ReadSourceTag(block)->source, "");
  EXPECT_EQ(block.cpu_liveness, 0.0f);

  const ULONGLONG began = ::GetTickCount64();
  const calorix::test::Finished second = calorix::test::RunCaptured(server, 30000);
  EXPECT_EQ(second.exit_code, 0u);
  EXPECT_LT(::GetTickCount64() - began, 5000u) << "a second copy ends at once";

  Publisher hwinfo(L"hwinfo --cpu \"CPU Package=65.7\" --gpu \"Test GPU=52.5\"");
  ASSERT_TRUE(hwinfo.ready());
  ASSERT_TRUE(calorix::test::WaitFor([&] { return block.cpu_liveness > 0; }, 6000));
  EXPECT_FLOAT_EQ(block.cpu_temperature, 65.7f);
  EXPECT_STREQ(block.gpu1_name, "Test GPU");
  EXPECT_EQ(block.gpu1_temperature, 52.5f);
  EXPECT_EQ(ReadSourceTag(block)->source, "HWiNFO");
  EXPECT_EQ(ReadSourceTag(block)->label, "CPU Package");
  hwinfo.Stop();
  ASSERT_TRUE(calorix::test::WaitFor([&] { return block.cpu_liveness == 0; }, 3000));
  EXPECT_EQ(block.cpu_temperature, 0.0f);
  EXPECT_EQ(block.gpu1_name[0], 0);

  const std::string log = ServerLog().substr(log_start);
  EXPECT_EQ(Count(log, "setting sensor_source \"speedfan\" is not valid; using \"auto\""), 1u)
      << log;
  EXPECT_EQ(Count(log, "using HWiNFO: \"CPU Package\" 65.7 C; adapters \"Test GPU\" 52.5 C"), 1u);
  EXPECT_EQ(Count(log, "HWiNFO: not current"), 1u);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\KEM");
}

}  // namespace
}  // namespace kalvaro
