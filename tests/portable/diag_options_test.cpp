// CalorixDiag's command line: what each command takes, and the message for what it refuses.
#include "tools/calorix_diag/diag_options.h"

#include <gtest/gtest.h>

namespace calorix::diag {
namespace {

Options Accepted(const std::vector<std::string>& args) {
  const Parsed parsed = ParseOptions(args);
  EXPECT_TRUE(parsed.options) << parsed.error;
  return parsed.options.value_or(Options{});
}

TEST(DiagOptions, EachCommandWithItsValues) {
  EXPECT_EQ(Accepted({}).command, Command::kStatus);
  const Options show = Accepted({"--show", "199"});
  EXPECT_EQ(show.command, Command::kShow);
  EXPECT_EQ(show.value, 199);
  const Options sweep = Accepted({"--interval", "0", "--sweep"});  // options in any order
  EXPECT_EQ(sweep.command, Command::kSweep);
  EXPECT_EQ(sweep.interval_ms, 0);
  const Options watch = Accepted({"--watch", "--count", "3", "--interval", "250"});
  EXPECT_EQ(watch.command, Command::kWatch);
  EXPECT_EQ(watch.count, 3);
  EXPECT_EQ(watch.interval_ms, 250);
  EXPECT_FALSE(Accepted({"--watch"}).count);  // until Ctrl+C
}

TEST(DiagOptions, BadArgumentsAreNamedInTheMessage) {
  const struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--bogus"}, "unknown argument \"--bogus\""},
      {{"--show"}, "--show needs a value from 0 to 199"},
      {{"--show", "200"}, "--show needs a value from 0 to 199, not \"200\""},
      {{"--show", "99999999999999999999"},
       "--show needs a value from 0 to 199, not \"99999999999999999999\""},
      {{"--show", "1", "--sweep"}, "only one command at a time (\"--sweep\" after another)"},
      {{"--watch", "--count", "0"}, "--count needs a number from 1 to 2147483647, not \"0\""},
      {{"--show", "5", "--interval", "10"}, "--interval goes with --sweep or --watch"},
      {{"--sweep", "--count", "2"}, "--count goes with --watch"},
  };
  for (const auto& c : cases) {
    const Parsed parsed = ParseOptions(c.args);
    EXPECT_FALSE(parsed.options) << c.error;
    EXPECT_EQ(parsed.error, c.error);
  }
}

}  // namespace
}  // namespace calorix::diag
