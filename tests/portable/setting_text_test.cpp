// Setting values read as numbers the way the runtime's _wtoi reads them.
#include "app/system/setting_text.h"

#include <gtest/gtest.h>

namespace calorix {
namespace {

TEST(SettingText, NumbersAndNonNumbers) {
  EXPECT_EQ(ParseSettingText(L"0"), 0);
  EXPECT_EQ(ParseSettingText(L"abc"), 0);
  EXPECT_EQ(ParseSettingText(L"2"), 2);
  EXPECT_EQ(ParseSettingText(L"1abc"), 1);
  EXPECT_EQ(ParseSettingText(L""), 0);
  EXPECT_EQ(ParseSettingText(nullptr), 0);
  EXPECT_EQ(ParseSettingText(L"  \t-12x"), -12);
  EXPECT_EQ(ParseSettingText(L"+7"), 7);
  EXPECT_EQ(ParseSettingText(L"- 7"), 0);
  EXPECT_EQ(ParseSettingText(L"1 2"), 1);
}

TEST(SettingText, OutOfRangeSaturates) {
  EXPECT_EQ(ParseSettingText(L"2147483647"), 2147483647);
  EXPECT_EQ(ParseSettingText(L"99999999999999999999999"), 2147483647);
  EXPECT_EQ(ParseSettingText(L"-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseSettingText(L"-99999999999999999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace calorix
