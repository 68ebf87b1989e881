// The monitors' layouts and texts as the server reads them: the readings chosen from what each
// format publishes, its variants, and hostile data that must be refused without reading past it.
#include <gtest/gtest.h>

#include <cstring>

#include "server/core/aida64.h"
#include "server/core/argus.h"
#include "server/core/choice.h"
#include "server/core/coretemp.h"
#include "server/core/http_response.h"
#include "server/core/hwinfo.h"
#include "server/core/json.h"
#include "server/core/lhm.h"
#include "server/core/text.h"
#include "tests/portable/chosen_readings.h"
#include "tools/sensor_publisher/layouts.h"

namespace kalvaro {
namespace {

using test::Chosen;

const sensors::Published kMachine{
    "Test CPU", {{"CPU Package", 65.7}}, {61, 63.5}, {{"Test GPU A", 52.5}, {"Test GPU B", 47}}};

Bytes View(const std::vector<std::uint8_t>& b, std::size_t cut = SIZE_MAX) {
  return Bytes(b.data(), std::min(cut, b.size()));
}

TEST(KalvaroLayouts, HwinfoVersionsStridesUnitsAndAge) {
  const char* expected = "CPU Package=65.7 | Test GPU A=52.5 | Test GPU B=47.0";
  for (sensors::HwinfoOptions o :
       {sensors::HwinfoOptions{2}, sensors::HwinfoOptions{1}, sensors::HwinfoOptions{2, 520},
        sensors::HwinfoOptions{.poll_time = 100, .polling_period_ms = 4000, .fahrenheit = true}}) {
    o.poll_time = o.poll_time ? o.poll_time : 1000;
    const auto s = ParseHwinfo(View(sensors::HwinfoLayout(kMachine, o)), 1003);
    ASSERT_TRUE(s);
    EXPECT_EQ(Chosen(s->readings), expected) << o.version << " " << o.reading_size;
    EXPECT_EQ(s->readings.size(), 8u);  // temperatures only: no voltage
    EXPECT_EQ(s->stamp, static_cast<std::uint64_t>(o.poll_time));
    EXPECT_EQ(*s->stamp_age_ms, (1003 - o.poll_time) * 1000);
    EXPECT_EQ(s->stale_after_ms, o.polling_period_ms == 4000 ? 12000 : 5000);
    EXPECT_TRUE(s->live);
  }
  auto no_package = kMachine;
  no_package.cpu.clear();
  const auto cores = ParseHwinfo(View(sensors::HwinfoLayout(no_package, {})), 0);
  EXPECT_EQ(Chosen(cores->readings), "Core #1=63.5 | Test GPU A=52.5 | Test GPU B=47.0");
  EXPECT_EQ(Chosen(cores->readings, "Drive Temperature"),
            "Drive Temperature=38.0 | Test GPU A=52.5 | Test GPU B=47.0");
  EXPECT_FALSE(ParseHwinfo(View(sensors::HwinfoLayout(kMachine, {.dead = true})), 0)->live);
}

TEST(KalvaroLayouts, HwinfoNamesOfAmdPackagesAndOfAdaptersByKind) {
  std::vector<Reading> readings;
  for (auto [sensor, index, label, celsius] :
       {std::tuple{"CPU [#0]: AMD Ryzen 7 5800X: Enhanced", 0, "CPU Die (average)", 60.0},
        {"CPU [#0]: AMD Ryzen 7 5800X: Enhanced", 0, "CPU (Tctl/Tdie)", 64.0},
        {"CPU [#0]: AMD Ryzen 7 5800X: Enhanced", 0, "CPU CCD1 (Tdie)", 66.0},
        {"iGPU [#0]: AMD Radeon(TM) Graphics: ", 1, "GPU Temperature", 45.0},
        {"dGPU [#1]: AMD Radeon RX 6800: ", 2, "GPU Hot Spot Temperature", 70.0},
        {"dGPU [#1]: AMD Radeon RX 6800: ", 2, "GPU Temperature", 55.0},
        {"GPU [#2]", 3, "GPU Temperature", 40.0}}) {
    readings.push_back(MakeReading(sensor, label, celsius));
    ClassifyHwinfoReading(readings.back(), index);
  }
  // The first two adapters; an unnamed third would be named by its sensor.
  EXPECT_EQ(Chosen(readings),
            "CPU (Tctl/Tdie)=64.0 | AMD Radeon(TM) Graphics=45.0 | AMD Radeon RX 6800=55.0");
  EXPECT_EQ(readings.back().adapter_name, "GPU [#2]");
}

TEST(KalvaroLayouts, HostileHwinfoLayoutsAreReadOnlyInsideTheView) {
  const auto good = sensors::HwinfoLayout(kMachine, {});
  auto with = [&](std::size_t at, std::uint32_t value) {
    auto b = good;
    std::memcpy(b.data() + at, &value, 4);
    return b;
  };
  auto readings = [](const std::vector<std::uint8_t>& b, std::size_t cut = SIZE_MAX) {
    const auto s = ParseHwinfo(View(b, cut), 0);
    return s ? static_cast<int>(s->readings.size()) : -1;
  };
  EXPECT_EQ(readings(good, 43), -1);                // no whole header
  EXPECT_EQ(readings(with(0, 0x12345678)), -1);     // not HWiNFO
  EXPECT_EQ(readings(with(36, 315)), 0);            // reading stride below version 1
  EXPECT_EQ(readings(with(36, 0)), 0);              // stride 0
  EXPECT_EQ(readings(with(24, 0)), 0);              // sensor stride 0
  EXPECT_EQ(readings(with(40, 0xFFFFFFFF)), 8);     // count past the view
  EXPECT_EQ(readings(with(32, 0xFFFFFF00)), 0);     // readings past the view
  EXPECT_EQ(readings(with(28, 1)), 3);              // readings of sensors beyond the count
  EXPECT_EQ(readings(good, good.size() - 200), 7);  // the last reading cut off
  auto unterminated = good;
  const std::size_t label = 48 + 4 * 392 + 12;  // the first reading's szLabelOrig
  std::memset(unterminated.data() + label, 'A', 128 + 128 + 16);
  const auto s = ParseHwinfo(View(unterminated), 0);
  EXPECT_EQ(s->readings[0].label, std::string(128, 'A'));
}

TEST(KalvaroLayouts, Aida64ElementsWithoutARoot) {
  auto machine = kMachine;
  machine.cpu = {{"TCPU", 44}, {"TCPUPKG", 48}};
  const std::string text = sensors::Aida64Text(machine, "12:00:01", false, true);
  const Sample s = ParseAida64(text);
  EXPECT_EQ(Chosen(s.readings), "CPU Package=48.0 | GPU Diode=52.5 | GPU2 Diode=47.0");
  EXPECT_EQ(s.readings.size(), 8u);  // no fan, no voltage, no "TRIAL" value
  EXPECT_NE(s.stamp, ParseAida64(sensors::Aida64Text(machine, "12:00:02")).stamp);
  EXPECT_FALSE(ParseAida64(sensors::Aida64Text(machine, "")).stamp);
  EXPECT_EQ(Chosen(ParseAida64(sensors::Aida64Text(machine, "", true)).readings),
            "CPU Package=48.0 | GPU Diode=52.5 | GPU2 Diode=47.0");
  const Sample odd = ParseAida64(
      "<temp> <id> TCPUPKG </id><label>A &amp; B &#65;</label><value> 51.5 </value></temp>"
      "<temp><id>TCPU</id><label>cut");
  ASSERT_EQ(odd.readings.size(), 1u);
  EXPECT_EQ(odd.readings[0].label, "A & B A");
  EXPECT_EQ(odd.readings[0].celsius, 51.5);
  EXPECT_TRUE(ParseAida64("<temp><id>TCPUPKG<").readings.empty());
}

TEST(KalvaroLayouts, CoreTempDistancesUnitsAndSockets) {
  auto machine = kMachine;
  machine.cores = {50, 52, 61, 58};
  for (sensors::CoreTempOptions o :
       {sensors::CoreTempOptions{}, {1, true, false, false}, {1, false, true}, {2, true, true}}) {
    const auto s = ParseCoreTemp(View(sensors::CoreTempLayout(machine, o)));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->readings.size(), 4u);
    EXPECT_EQ(Chosen(s->readings), o.cpus == 2 ? "CPU #1 Core #0=61.0" : "Core #2=61.0");
    EXPECT_EQ(s->readings[0].sensor, "Test CPU");
  }
  const auto good = sensors::CoreTempLayout(machine, {});
  auto with = [&](std::size_t at, std::uint32_t value) {
    auto b = good;
    std::memcpy(b.data() + at, &value, 4);
    return ParseCoreTemp(View(b));
  };
  EXPECT_FALSE(ParseCoreTemp(View(good, kCoreTempBaseSize - 1)));
  EXPECT_TRUE(ParseCoreTemp(View(good, kCoreTempBaseSize)));
  EXPECT_FALSE(with(1536, 0));            // zero counts: Core Temp's data is not valid
  EXPECT_FALSE(with(1536, 257));          // more cores than the array holds
  EXPECT_FALSE(with(1540, 129));          // more CPUs than TjMax entries
  EXPECT_FALSE(with(1536, 0x80000001u));  // a product that wraps in 32 bits
}

TEST(KalvaroLayouts, ArgusHeaderSizesAndBrokenTables) {
  for (int types : {26, 27}) {
    const auto s = ParseArgus(View(sensors::ArgusLayout(kMachine, {types, 9})));
    ASSERT_TRUE(s) << types;
    // Type 6 holds a value per core on Intel, one on AMD: the highest is the CPU's.
    EXPECT_EQ(Chosen(s->readings), "CPU Package=65.7 | Test GPU A=52.5 | Test GPU B=47.0");
    EXPECT_EQ(s->stamp, 9u);
    EXPECT_EQ(s->readings.size(), 7u);  // no fan, no name records
  }
  const auto good = sensors::ArgusLayout(kMachine, {27, 1, 0});  // as small as it can be
  auto with = [&](std::size_t at, std::uint32_t value) {
    auto b = good;
    std::memcpy(b.data() + at, &value, 4);
    return ParseArgus(View(b));
  };
  EXPECT_TRUE(ParseArgus(View(good)));
  EXPECT_FALSE(with(0, 0)->live);               // signature gone
  EXPECT_FALSE(with(16, 0)->live);              // cycle counter 0: invalid
  EXPECT_FALSE(with(20 + 8 * 27, 513));         // more records than the array
  EXPECT_FALSE(with(20 + 4 * 6, 0));            // type 6's first record is of another type
  EXPECT_FALSE(with(20 + 4 * 27 + 4 * 6, 40));  // counts no longer add up
  EXPECT_FALSE(ParseArgus(View(good, good.size() - 212)));  // the disk's record cut off
  EXPECT_FALSE(ParseArgus(View(good, 20)));
}

TEST(KalvaroLayouts, LibreHardwareMonitorTreesOldAndNew) {
  for (sensors::LhmOptions o : {sensors::LhmOptions{}, {false, true}, {false, false, true}}) {
    const auto s = ParseLhmJson(sensors::LhmJson(kMachine, o));
    ASSERT_TRUE(s);
    // The distances to TjMax are temperatures, never a core's.
    EXPECT_EQ(Chosen(s->readings), "CPU Package=65.7 | Test GPU A=52.5 | Test GPU B=47.0");
    EXPECT_EQ(s->readings.size(), 10u);
  }
  auto no_package = kMachine;
  no_package.cpu.clear();
  EXPECT_EQ(Chosen(ParseLhmJson(sensors::LhmJson(no_package, {.raw = false}))->readings),
            "CPU Core #2=63.5 | Test GPU A=52.5 | Test GPU B=47.0");
  const auto nan = ParseLhmJson(
      R"j({"Children":[{"Text":"PC","Children":[{"Text":"CPU","HardwareId":"/amdcpu/0",)j"
      R"j("Children":[{"Text":"Temperatures","Children":[{"Text":"Core (Tctl/Tdie)",)j"
      R"j("Type":"Temperature","Value":"-","RawValue":NaN,"Children":[]},{"Text":"CCD1 (Tdie)",)j"
      R"j("Type":"Temperature","Value":"70,5 \u00b0C","RawValue":null,"Children":[]}]}]}]}]})j");
  ASSERT_TRUE(nan);
  EXPECT_EQ(Chosen(nan->readings), "CCD1 (Tdie)=70.5");
  EXPECT_FALSE(ParseLhmJson(R"({"Children":[)"));
  EXPECT_FALSE(ParseLhmJson("[1,2]"));
  EXPECT_FALSE(ParseLhmJson(std::string(100000, '[') + std::string(100000, ']')));
  EXPECT_EQ(
      LhmReadingsFromWmi({{"/intelcpu/0", "Test CPU", "Cpu"}, {"/gpu-amd/0", "Radeon", "GpuAmd"}},
                         {{"/intelcpu/0/temperature/0", "/intelcpu/0", "CPU Package", 0},
                          {"/intelcpu/0/temperature/1", "/intelcpu/0", "Core Max", 60},
                          {"/gpu-amd/0/temperature/0", "/gpu-amd/0", "GPU Core", 40}})
          .size(),
      3u);
}

TEST(KalvaroLayouts, NumbersNamesAndJsonTextAsMonitorsWriteThem) {
  EXPECT_EQ(ParseDecimal(" +41,5 "), 41.5);
  EXPECT_EQ(ParseDecimal("-3.25"), -3.25);
  for (const char* bad : {"1,234.5", "1,2,3", "TRIAL", "", "-", "inf", "nan", "4 5"}) {
    EXPECT_FALSE(ParseDecimal(bad)) << bad;
  }
  EXPECT_EQ(ParseDegrees("41,0 \xC2\xB0"
                         "C"),
            41.0);
  EXPECT_EQ(ParseDegrees("212.0 \xB0"
                         "F"),
            100.0);
  EXPECT_FALSE(ParseDegrees("1200 RPM"));
  const std::uint8_t utf16[] = {'A', 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8, 'B', 0, 0, 0, 'C', 0};
  EXPECT_EQ(Utf16LeToUtf8(utf16, 7),
            "A\xF0\x9F\x98\x80\xEF\xBF\xBD"
            "B");
  EXPECT_EQ(CutUtf8("ab\xC3\xA9", 3), "ab");
  EXPECT_EQ(Latin1ToUtf8("\xB0"
                         "C"),
            "\xC2\xB0"
            "C");
  const auto json = ParseJson(R"( {"a":"\u00e9\ud83d\ude00\ud800x\n","b":[1e2,-0.5,true,null]} )");
  ASSERT_TRUE(json);
  EXPECT_EQ(json->Text("a"), "\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBDx\n");
  EXPECT_EQ(json->Find("b")->items[0].number, 100);
  for (const char* bad :
       {R"({"a":1,})", R"({"a" 1})", R"(["\q"])", R"("\u12")", "[1] 2", "{\"a\":"}) {
    EXPECT_FALSE(ParseJson(bad)) << bad;
  }
}

TEST(KalvaroLayouts, HwinfoGadgetValuesAndHttpFraming) {
  for (bool comma : {false, true}) {
    std::vector<GadgetValue> values;
    for (auto& [name, data] : sensors::GadgetValues(kMachine, comma))
      values.push_back({name, data});
    values.push_back({"ValueRaw99", "12"});  // a reading without its other values
    EXPECT_EQ(Chosen(ParseHwinfoGadget(values)),
              "CPU Package=65.7 | Test GPU A=52.5 | Test GPU B=47.0");
  }
  EXPECT_EQ(ParseHttpResponse("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nabcdef")->body, "abcd");
  EXPECT_EQ(ParseHttpResponse("HTTP/1.0 200 OK\r\n\r\nto the end")->body, "to the end");
  const auto chunked = ParseHttpResponse(
      "HTTP/1.1 200 OK\r\ntransfer-encoding: Chunked\r\n\r\n3;x=1\r\nabc\r\n2\r\nde\r\n0\r\n\r\n");
  EXPECT_EQ(chunked->body, "abcde");
  EXPECT_EQ(ParseHttpResponse("HTTP/1.1 401 Unauthorized\r\n\r\n")->status, 401);
  for (const char* bad : {"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nshort", "HTTP/1.1 200",
                          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffff\r\nab",
                          "SSH-2.0\r\n\r\n", "HTTP/1.1 2x0 OK\r\n\r\n"}) {
    EXPECT_FALSE(ParseHttpResponse(bad)) << bad;
  }
}

}  // namespace
}  // namespace kalvaro
