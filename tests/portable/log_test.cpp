// Log line layout, level filter, truncation, concurrent writers and rotation.
#include "app/system/log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace calorix {
namespace {

std::atomic<int> g_clock_reads{0};
LogTime FixedClock() {
  ++g_clock_reads;
  return {3, 7, 14, 5, 9, 42};
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("calorix_log_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    file_ = dir_ / "test.log";
    previous_ = SetLogClock(&FixedClock);
    g_clock_reads = 0;
  }
  void TearDown() override {
    LogClose();
    SetLogClock(previous_);
    std::filesystem::remove_all(dir_);
  }
  std::vector<std::string> Lines(const std::filesystem::path& p) const {
    std::ifstream in(p, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  std::filesystem::path dir_, file_;
  LogClock previous_ = nullptr;
};

TEST_F(LogTest, ExactPrefixAndMessage) {
  ASSERT_TRUE(LogOpen(file_));
  LogPrint(Info, "cpu_temperatures: %f", 45.5);
  LogPrint(Fatal, "buffer[3]: %d, buffer[4]: %d, buffer[5]: %d", 0, 6, 5);
  const auto lines = Lines(file_);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "[03-07 14:05:09.042][Info ]cpu_temperatures: 45.500000");
  EXPECT_EQ(lines[1], "[03-07 14:05:09.042][Fatal]buffer[3]: 0, buffer[4]: 6, buffer[5]: 5");
}

TEST_F(LogTest, LevelsBelowInfoAndOutsideTheTableWriteNothing) {
  ASSERT_TRUE(LogOpen(file_));
  LogPrint(Trace, "t");
  LogPrint(Debug, "d");
  LogPrint(-1, "negative");
  LogPrint(6, "six");
  LogPrint(1 << 30, "huge");
  EXPECT_EQ(g_clock_reads, 0);  // not even the time is read
  EXPECT_TRUE(Lines(file_).empty());
  LogPrint(Warn, "w");
  LogPrint(Error, "e");
  EXPECT_EQ(Lines(file_).size(), 2u);
}

TEST_F(LogTest, LongMessageIsCutAt255Characters) {
  ASSERT_TRUE(LogOpen(file_));
  const std::string long_text(1000, 'x');
  LogPrint(Info, "%s", long_text.c_str());
  const auto lines = Lines(file_);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), 255u);
  EXPECT_EQ(lines[0].substr(0, 27), "[03-07 14:05:09.042][Info ]");
}

TEST_F(LogTest, ZeroPaddingOfTheRealClock) {
  SetLogClock(nullptr);  // back to local time
  ASSERT_TRUE(LogOpen(file_));
  LogPrint(Info, "x");
  const auto lines = Lines(file_);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(
      std::regex_match(lines[0], std::regex(R"(\[\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\]\[Info \]x)")))
      << lines[0];
}

TEST_F(LogTest, UnattachedLogDiscardsQuietly) {
  LogClose();
  LogPrint(Info, "nowhere");
  EXPECT_FALSE(std::filesystem::exists(file_));
  EXPECT_FALSE(LogOpen(dir_ / "missing" / "folder" / "x.log"));
  LogPrint(Info, "still nowhere");
}

TEST_F(LogTest, ConcurrentWritersNeverInterleave) {
  ASSERT_TRUE(LogOpen(file_, 1 << 30));
  constexpr int kThreads = 4, kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      const std::string body(100, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) LogPrint(Info, "%d:%s", t, body.c_str());
    });
  }
  for (auto& th : threads) th.join();
  const auto lines = Lines(file_);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  const std::regex whole(
      R"(\[03-07 14:05:09\.042\]\[Info \]([0-3]):(a{100}|b{100}|c{100}|d{100}))");
  for (const auto& l : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l, m, whole)) << l;
    EXPECT_EQ(m[2].str()[0], 'a' + std::stoi(m[1].str()));
  }
}

TEST_F(LogTest, RotationKeepsTheFileBounded) {
  constexpr std::uintmax_t kLimit = 4096;
  ASSERT_TRUE(LogOpen(file_, kLimit));
  for (int i = 0; i < 1000; ++i) LogPrint(Info, "line %04d of the rotation test", i);
  const auto current = std::filesystem::file_size(file_);
  auto old = file_;
  old += ".1";
  ASSERT_TRUE(std::filesystem::exists(old));
  EXPECT_LE(current, kLimit);
  EXPECT_LE(std::filesystem::file_size(old), kLimit);
  const auto lines = Lines(file_);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("line 0999"), std::string::npos);  // the newest line is kept
  // Reopening an existing file counts its size.
  LogClose();
  ASSERT_TRUE(LogOpen(file_, kLimit));
  for (int i = 0; i < 200; ++i) LogPrint(Info, "again %04d", i);
  EXPECT_LE(std::filesystem::file_size(file_), kLimit);
}

TEST_F(LogTest, RotationThatCannotMoveTheFileStillBoundsIt) {
  constexpr std::uintmax_t kLimit = 4096;
  auto old = file_;
  old += ".1";
  // A non-empty folder in place of the old copy: neither removed nor replaced by a rename.
  std::filesystem::create_directories(old / "held");
  ASSERT_TRUE(LogOpen(file_, kLimit));
  for (int i = 0; i < 1000; ++i) LogPrint(Info, "line %04d of the rotation test", i);
  EXPECT_LE(std::filesystem::file_size(file_), kLimit);
  const auto lines = Lines(file_);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("line 0999"), std::string::npos);
}

TEST_F(LogTest, FailedReopenIsRetriedWithTheNextLine) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a log file that can be deleted while it is open";
#else
  constexpr std::uintmax_t kLimit = 256;
  ASSERT_TRUE(LogOpen(file_, kLimit));
  std::filesystem::remove_all(dir_);  // rotation can neither rename nor reopen now
  for (int i = 0; i < 20; ++i) LogPrint(Info, "lost %02d", i);
  std::filesystem::create_directories(dir_);
  LogPrint(Info, "back again");
  const auto lines = Lines(file_);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("back again"), std::string::npos);
#endif
}

}  // namespace
}  // namespace calorix
