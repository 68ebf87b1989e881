// The server's readers against the test publisher of each monitor and a double of WMI, and
// the server program itself: one copy, the block it writes, its settings' log lines.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "app/system/log.h"
#include "app/system/settings.h"
#include "app/system/work_folder.h"
#include "app/temperature/temperature_mapping.h"
#include "server/core/block.h"
#include "server/core/settings.h"
#include "server/win/loopback_http.h"
#include "server/win/monitor_readers.h"
#include "server/win/server_loop.h"
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
  {
    // Another program of the session made a monitor's section first and committed nothing.
    const Zentu::UniqueKernelHandle reserved(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr,
                                                                  PAGE_READWRITE | SEC_RESERVE, 0,
                                                                  1 << 16, L"AIDA64_SensorValues"));
    ASSERT_TRUE(reserved);
    MonitorReaders readers([&](const wchar_t* ns) { return nothing.Connect(ns); });
    EXPECT_EQ(ChosenOf(readers.Read(SourceId::kAida64)), "absent");
  }
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
  EXPECT_EQ(wmi.outstanding, 3);  // the namespaces found stay connected; nothing else
}

// A listener on 127.0.0.1 that accepts and answers as `reply` says, on a thread of its own.
class SlowServer {
 public:
  explicit SlowServer(std::string reply) : reply_(std::move(reply)) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(listener_, 1);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ::ntohs(address.sin_port);
    thread_ = std::thread([this] {
      const SOCKET client = ::accept(listener_, nullptr, nullptr);
      ::send(client, reply_.data(), static_cast<int>(reply_.size()), 0);
      ::Sleep(1500);  // and keeps the connection open
      ::closesocket(client);
    });
  }
  ~SlowServer() {
    ::closesocket(listener_);
    thread_.join();
  }
  std::uint16_t port() const { return port_; }

 private:
  std::string reply_;
  SOCKET listener_;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

TEST(KalvaroReaders, ALoopbackServerThatKeepsQuietOrOpenHoldsTheLookOnlyBriefly) {
  for (const char* reply : {"", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}"}) {
    SlowServer server(reply);
    const ULONGLONG began = ::GetTickCount64();
    const auto response = LoopbackGet(server.port(), "/data.json", {250, 500});
    EXPECT_LT(::GetTickCount64() - began, 2000u);
    EXPECT_EQ(response.value_or("none"), *reply ? reply : "none");
  }
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string ServerLog() { return FileText(calorix::WorkFolder() / L"kalvaro.log"); }

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(KalvaroServer, SettingsTakeEffectAtTheNextReadAndABadOneIsLoggedOnce) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\KEM");
  calorix::ReadSetting(calorix::kLedSwitch);  // creates the key
  calorix::WriteSetting(kSensorSource, L"speedfan");
  calorix::WriteSetting(kSensorCpuLabel, L"CPU");  // AIDA64's board sensor, TCPU
  // Neither has a heartbeat, so the loop's own clock may run faster than the wall's.
  Publisher aida64(L"aida64 --no-time --cpu TCPUPKG=48 --cpu TCPU=44");
  Publisher coretemp(L"coretemp --core 55 --core 58");
  ASSERT_TRUE(aida64.ready() && coretemp.ready());
  // Opened once they run, so that they do not inherit its handle.
  const std::filesystem::path log =
      std::filesystem::temp_directory_path() / (calorix::test::UniqueName(L"kalvaro") + L".log");
  calorix::LogOpen(log);
  wmi_double::Repository nothing;
  MonitorReaders readers([&](const wchar_t* ns) { return nothing.Connect(ns); });
  calorix::TemperatureBlock block{};
  ServerLoop loop(block, readers);
  auto run = [&](int from_s, int to_s) {
    for (int s = from_s; s <= to_s; ++s) loop.Step(s * 1000LL);
    return ReadSourceTag(block)->source + " \"" + ReadSourceTag(block)->label + "\" " +
           std::to_string(static_cast<int>(block.cpu_temperature));
  };
  EXPECT_EQ(run(0, 30), "AIDA64 \"CPU\" 44");  // read again at 30 s: still bad
  calorix::WriteSetting(kSensorSource, L"coretemp");
  calorix::WriteSetting(kSensorCpuLabel, L"CPU Package");  // Core Temp has none
  EXPECT_EQ(run(31, 59), "AIDA64 \"CPU\" 44");
  EXPECT_EQ(run(60, 65), "Core Temp \"Core #1\" 58");
  calorix::LogClose();
  const std::string text = FileText(log);
  EXPECT_EQ(Count(text, "setting sensor_source \"speedfan\" is not valid; using \"auto\""), 1u)
      << text;
  EXPECT_EQ(Count(text, "using AIDA64: \"CPU\" 44.0 C"), 1u);
  EXPECT_EQ(Count(text, "using Core Temp: \"Core #1\" 58.0 C"), 1u);
  EXPECT_EQ(Count(text,
                  "sensor_cpu_label \"CPU Package\" is no reading of Core Temp; using its "
                  "own choice"),
            1u);
  std::filesystem::remove(log);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\KEM");
}

TEST(KalvaroServer, OneCopyPublishesWhatTheMonitorSaysAndNothingWithoutOne) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\KEM");  // every source, the server's own choice
  const std::size_t log_start = ServerLog().size();
  const std::wstring server = Quote(calorix::test::ProgramFolder() + L"Kalvaro.exe");
  // Another program of the session made the block first and committed none of it: the server
  // waits for it to go, and publishes once it has.
  auto reserved = std::make_unique<calorix::test::ChildProcess>(
      Quote(calorix::test::ProgramFolder() + L"monitor_standin.exe") + L" --uncommitted");
  ASSERT_TRUE(calorix::test::WaitFor(
      [] {
        const Zentu::UniqueKernelHandle block(
            ::OpenFileMappingA(FILE_MAP_READ, FALSE, calorix::kTemperatureBlockName));
        return static_cast<bool>(block);
      },
      10000));
  calorix::test::ChildProcess first(server);
  EXPECT_EQ(first.Wait(3000), STILL_ACTIVE);
  reserved.reset();
  calorix::TemperatureMapping mapping;  // the server may still hold the old block a moment
  ASSERT_TRUE(calorix::test::WaitFor([&] { return mapping.EnsureMapped(); }, 5000));
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
  EXPECT_EQ(Count(log,
                  "the temperature block was made by another program and cannot all be "
                  "written; waiting for it to go"),
            1u);
  EXPECT_EQ(Count(log, "using HWiNFO: \"CPU Package\" 65.7 C; adapters \"Test GPU\" 52.5 C"), 1u)
      << log;
  EXPECT_EQ(Count(log, "HWiNFO: not current"), 1u);
}

}  // namespace
}  // namespace kalvaro
