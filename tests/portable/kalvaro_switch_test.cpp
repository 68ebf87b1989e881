// The server's choice of source over time, the block it writes, and its settings.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "server/core/block.h"
#include "server/core/settings.h"
#include "server/core/sources.h"

namespace kalvaro {
namespace {

Sample Cpu(double celsius, std::optional<std::uint64_t> stamp = std::nullopt) {
  Sample s;
  s.readings = {MakeReading("CPU", "CPU Package", celsius, Role::kCpuPackage)};
  s.stamp = stamp;
  return s;
}

// Monitors that come and go on a simulated clock; every look is counted. The stamps of those
// in `polling` move every second.
struct Monitors {
  std::map<SourceId, std::optional<Sample>> now;
  std::set<SourceId> polling;
  std::map<SourceId, int> reads, releases;
  SourceSwitch sw;
  std::int64_t ms = 0;

  // Ticks once a second up to `until_s`; the source and value picked at the last tick.
  std::string RunUntil(std::int64_t until_s) {
    std::optional<Pick> pick;
    for (; ms <= until_s * 1000; ms += 1000) {
      for (SourceId id : polling) now[id]->stamp = ms / 1000;
      pick = sw.Tick(
          ms, "",
          [&](SourceId id) {
            ++reads[id];
            return now[id];
          },
          [&](SourceId id) { ++releases[id]; });
    }
    if (!pick) return "none";
    return std::string(Info(pick->source).name) + " " +
           std::to_string(static_cast<int>(pick->sample.readings[*pick->choice.cpu].celsius));
  }
};

TEST(KalvaroSwitch, StaleSourcesAreLeftAndBetterOnesTakenBackWithinFiveSeconds) {
  Monitors m;
  m.now[SourceId::kHwinfo] = Cpu(65, 0);
  m.polling = {SourceId::kHwinfo};
  m.now[SourceId::kAida64] = Cpu(48);
  EXPECT_EQ(m.RunUntil(9), "HWiNFO 65");
  m.polling.clear();
  EXPECT_EQ(m.reads[SourceId::kAida64], 0);  // the best source in use: nothing else is read
  EXPECT_EQ(m.reads[SourceId::kHwinfo], 10);

  // HWiNFO's stamp last moved at 9 s: stale at 14 s, when AIDA64 is taken at once.
  EXPECT_EQ(m.RunUntil(13), "HWiNFO 65");
  EXPECT_EQ(m.RunUntil(14), "AIDA64 48");
  EXPECT_STREQ(m.sw.left_because(), "stopped updating");
  EXPECT_EQ(m.releases[SourceId::kHwinfo], 1);
  // Looked at again every 5 s, the frozen section stays stale.
  EXPECT_EQ(m.RunUntil(21), "AIDA64 48");
  EXPECT_EQ(m.reads[SourceId::kHwinfo], 15 + 1);
  m.now[SourceId::kHwinfo] = Cpu(66, 21);  // HWiNFO polls again at 21 s
  EXPECT_EQ(m.RunUntil(23), "AIDA64 48");
  EXPECT_EQ(m.RunUntil(24), "HWiNFO 66");

  // Everything gone: 0 until Core Temp starts at 40.5 s, and each source read only every 5 s.
  m.now.clear();
  m.reads.clear();
  EXPECT_EQ(m.RunUntil(40), "none");
  EXPECT_STREQ(m.sw.left_because(), "gone");
  for (int i = 0; i < kSourceCount; ++i) EXPECT_LE(m.reads[static_cast<SourceId>(i)], 4) << i;
  m.now[SourceId::kCoreTemp] = Cpu(55);
  EXPECT_EQ(m.RunUntil(45), "Core Temp 55");

  // A source without a CPU reading is no source; a "DEAD" one neither.
  Sample gpu_only = Cpu(50);
  gpu_only.readings[0].role = Role::kGpu;
  m.now[SourceId::kHwinfo] = gpu_only;
  m.now[SourceId::kAida64] = Cpu(47);
  m.now[SourceId::kAida64]->live = false;
  EXPECT_EQ(m.RunUntil(55), "Core Temp 55");
}

TEST(KalvaroSwitch, TheUsersSourceAloneAndAStampAlreadyOldAtFirstSight) {
  Monitors m;
  m.now[SourceId::kHwinfo] = Cpu(65, 7);
  m.now[SourceId::kHwinfo]->stamp_age_ms = 6000;  // HWiNFO ended long ago, its section kept
  m.now[SourceId::kArgus] = Cpu(44, 1);
  EXPECT_EQ(m.RunUntil(0), "Argus Monitor 44");
  m.sw.Restrict(SourceId::kAida64, [&](SourceId id) { ++m.releases[id]; });
  EXPECT_EQ(m.releases[SourceId::kArgus], 1);
  m.reads.clear();
  EXPECT_EQ(m.RunUntil(10), "none");
  EXPECT_EQ(m.reads.size(), 1u);
  m.now[SourceId::kAida64] = Cpu(48);
  EXPECT_EQ(m.RunUntil(16), "AIDA64 48");
  m.sw.Restrict(std::nullopt, [](SourceId) {});
  m.now[SourceId::kHwinfo] = Cpu(65, 8);
  m.now[SourceId::kHwinfo]->stamp_age_ms = 1000;
  EXPECT_EQ(m.RunUntil(17), "HWiNFO 65");
}

TEST(KalvaroSwitch, TheBlockSaysWhatIsPublishedAndWhereItComesFrom) {
  Sample s = Cpu(65.7);
  s.readings.push_back(MakeReading("GPU [#0]: A: B", "GPU Temperature", 52.5, Role::kGpu));
  s.readings.back().adapter_name = std::string(300, 'n');
  const Pick pick{SourceId::kAcpi, s, Choose(s.readings, "")};
  float liveness = 0;
  calorix::TemperatureBlock shared{};
  EXPECT_FALSE(ReadSourceTag(shared));  // another server's block
  PublishBlock(shared, NextBlock(pick, &liveness));
  PublishBlock(shared, NextBlock(pick, &liveness));
  EXPECT_FLOAT_EQ(shared.cpu_temperature, 65.7f);
  EXPECT_EQ(shared.cpu_liveness, 2.0f);
  EXPECT_EQ(std::string(shared.gpu1_name), std::string(135, 'n'));
  EXPECT_EQ(shared.gpu1_temperature, 52.5f);
  EXPECT_EQ(shared.gpu2_name[0], 0);
  auto tag = ReadSourceTag(shared);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->source, "ACPI thermal zone");
  EXPECT_EQ(tag->label, "CPU Package");
  EXPECT_TRUE(tag->approximate);

  PublishBlock(shared, NextBlock(std::nullopt, &liveness));
  EXPECT_EQ(shared.cpu_temperature, 0.0f);
  EXPECT_EQ(shared.cpu_liveness, 0.0f);
  EXPECT_EQ(shared.gpu1_name[0], 0);
  tag = ReadSourceTag(shared);
  EXPECT_TRUE(tag && tag->source.empty() && !tag->approximate);
  liveness = 16777216.0f;
  EXPECT_EQ(NextBlock(pick, &liveness).cpu_liveness, 1.0f);
}

TEST(KalvaroSwitch, BadSettingsCountAsTheDefaultWithOneLineEach) {
  using K = StoredValue::Kind;
  std::vector<std::string> complaints;
  ServerSettings s = ParseSettings(
      {{K::kString, " Core Temp "}, {K::kString, "CPU (Tctl/Tdie)"}, {K::kString, "8086"}},
      &complaints);
  EXPECT_EQ(s.only, SourceId::kCoreTemp);
  EXPECT_EQ(s.cpu_label, "CPU (Tctl/Tdie)");
  EXPECT_EQ(s.lhm_port, 8086);
  EXPECT_TRUE(complaints.empty());
  s = ParseSettings({{K::kString, "AUTO"}, {}, {K::kString, ""}}, &complaints);
  EXPECT_FALSE(s.only);
  EXPECT_TRUE(complaints.empty());
  s = ParseSettings(
      {{K::kString, "speedfan"}, {K::kString, std::string(128, 'x')}, {K::kString, "65536"}},
      &complaints);
  EXPECT_FALSE(s.only);
  EXPECT_EQ(s.cpu_label, "");
  EXPECT_EQ(s.lhm_port, kDefaultLhmPort);
  ASSERT_EQ(complaints.size(), 3u);
  EXPECT_EQ(complaints[0], "setting sensor_source \"speedfan\" is not valid; using \"auto\"");
  EXPECT_EQ(complaints[2], "setting sensor_lhm_port \"65536\" is not valid; using 8085");
  complaints.clear();
  ParseSettings({{K::kOtherType, ""}, {K::kString, "a\nb"}, {K::kString, "80 80"}}, &complaints);
  EXPECT_EQ(complaints.size(), 3u);
  EXPECT_EQ(complaints[0], "setting sensor_source is not a string value; using \"auto\"");
}

}  // namespace
}  // namespace kalvaro
