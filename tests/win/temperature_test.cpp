// The shared temperature block between the stand-in server and the program, across processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/temperature/temperature_mapping.h"
#include "tests/win/win_test_support.h"

namespace calorix {
namespace {

std::wstring StandIn(const std::wstring& args) {
  return L"\"" + test::ProgramFolder() + L"monitor_standin.exe\" " + args;
}

TEST(TemperatureBlockMapping, ReadsWhatTheServerPublishes) {
  test::ChildProcess server(StandIn(L"--cpu 61.5 --gpu1 \"Stand-in GPU=48.5\" --period 50"));
  ASSERT_TRUE(server.started());
  // The server creates the block; wait until it exists before mapping it ourselves.
  ASSERT_TRUE(test::WaitFor(
      [] {
        HANDLE h = ::OpenFileMappingA(FILE_MAP_READ, FALSE, kTemperatureBlockName);
        if (h) ::CloseHandle(h);
        return h != nullptr;
      },
      10000));
  HANDLE mapping = nullptr;
  LPVOID view = nullptr;
  bool created_new = true;
  ASSERT_TRUE(MapTemperatureBlock(&mapping, &view, &created_new));
  EXPECT_FALSE(created_new);
  const auto* block = static_cast<const TemperatureBlock*>(view);
  ASSERT_TRUE(test::WaitFor([&] { return block->cpu_liveness > 0; }, 10000));
  EXPECT_FLOAT_EQ(block->cpu_temperature, 61.5f);
  EXPECT_STREQ(block->gpu1_name, "Stand-in GPU");
  EXPECT_FLOAT_EQ(SelectGpuTemperature(*block), 48.5f);
  EXPECT_EQ(block->gpu2_name[0], 0);
  ::UnmapViewOfFile(view);
  ::CloseHandle(mapping);
}

TEST(TemperatureBlockMapping, MappedFirstIsZeroUntilTheServerOpensItByName) {
  TemperatureMapping temperature;
  ASSERT_TRUE(temperature.EnsureMapped());
  const TemperatureBlock* block = temperature.Block();
  ASSERT_NE(block, nullptr);
  const auto* bytes = reinterpret_cast<const unsigned char*>(block);
  for (std::size_t i = 0; i < kTemperatureBlockSize; ++i) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_TRUE(temperature.EnsureMapped());  // already mapped: the same view
  EXPECT_EQ(temperature.Block(), block);

  test::ChildProcess server(StandIn(L"--sequence 30,72.25 --delay 0.3 --period 50"));
  ASSERT_TRUE(server.started());
  ASSERT_TRUE(test::WaitFor([&] { return block->cpu_liveness > 0; }, 10000));
  ASSERT_TRUE(test::WaitFor([&] { return block->cpu_temperature == 72.25f; }, 10000));
}

TEST(TemperatureBlockMapping, ServerThatLeavesKeepsTheLastValues) {
  TemperatureMapping temperature;
  ASSERT_TRUE(temperature.EnsureMapped());
  test::ChildProcess server(StandIn(L"--cpu 44 --period 20 --exit-after 0.5"));
  EXPECT_EQ(server.Wait(10000), 0u);
  EXPECT_FLOAT_EQ(temperature.Block()->cpu_temperature, 44.0f);  // our view keeps the block alive
}

}  // namespace
}  // namespace calorix
