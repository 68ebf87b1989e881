// Display digits, report bytes and the firmware exchange bytes.
#include "app/device/display_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace calorix {
namespace {

std::array<int, 3> Digits(float celsius, int unit) {
  const Report r = BuildDisplayReport(DisplayValue(celsius, unit).value());
  return {r[3], r[4], r[5]};
}

TEST(DisplayReport, EdgeValuesFromTheProtocol) {
  const Report r = BuildDisplayReport(DisplayValue(65.7f, kCelsius).value());
  const Report expected = {0x07, 0xFF, 0xFF, 0x00, 0x06, 0x05};
  EXPECT_EQ(r, expected);  // the rest is zero
  EXPECT_EQ(Digits(9.5f, kCelsius), (std::array<int, 3>{0, 0, 9}));
  EXPECT_EQ(Digits(250.0f, kCelsius), (std::array<int, 3>{1, 9, 9}));
  EXPECT_EQ(Digits(100.0f, kFahrenheit), (std::array<int, 3>{1, 9, 9}));
  EXPECT_EQ(Digits(20.0f, kFahrenheit), (std::array<int, 3>{0, 6, 8}));
}

TEST(DisplayReport, FahrenheitConvertsTheTruncatedValue) {
  EXPECT_EQ(DisplayValue(45.9f, kFahrenheit), 113);
  EXPECT_EQ(DisplayValue(65.7f, kCelsius), 65);
  // Only exactly 1 selects Fahrenheit: a stored "2" sends Celsius.
  EXPECT_EQ(DisplayValue(45.9f, 2), 45);
  EXPECT_EQ(DisplayValue(45.9f, -1), 45);
}

TEST(DisplayReport, NoValueForZeroOrNonFiniteReadings) {
  EXPECT_FALSE(DisplayValue(0.0f, kCelsius));
  EXPECT_FALSE(DisplayValue(-0.0f, kFahrenheit));
  EXPECT_FALSE(DisplayValue(std::numeric_limits<float>::quiet_NaN(), kCelsius));
  EXPECT_FALSE(DisplayValue(std::numeric_limits<float>::infinity(), kCelsius));
  EXPECT_FALSE(DisplayValue(-std::numeric_limits<float>::infinity(), kFahrenheit));
}

TEST(DisplayReport, NegativeAndHugeReadingsStayWithinTheDigits) {
  EXPECT_EQ(DisplayValue(-12.5f, kCelsius), 0);
  EXPECT_EQ(DisplayValue(-0.5f, kCelsius), 0);
  EXPECT_EQ(DisplayValue(-5.0f, kFahrenheit), 23);  // a cold reading is still warm in F
  EXPECT_EQ(DisplayValue(-40.0f, kFahrenheit), 0);
  EXPECT_EQ(DisplayValue(3.0e38f, kCelsius), 199);
  EXPECT_EQ(DisplayValue(-3.0e38f, kFahrenheit), 0);
  for (int v : {-1000, -1, 0, 5, 199, 200, 100000}) {
    const Report r = BuildDisplayReport(v);
    for (int i = 3; i <= 5; ++i) EXPECT_LE(r[i], 9) << v;
  }
}

TEST(DisplayReport, EveryValueSplitsIntoItsDigits) {
  for (int v = 0; v <= kMaxDisplayValue; ++v) {
    const Report r = BuildDisplayReport(v);
    EXPECT_EQ(r[3] * 100 + r[4] * 10 + r[5], v);
  }
}

TEST(DisplayReport, WireFormAppendsOneZeroByte) {
  Report r = BuildDisplayReport(42);
  r[63] = 0xAB;
  const auto wire = WithTrailingZero(r);
  ASSERT_EQ(wire.size(), 65u);
  EXPECT_TRUE(std::equal(r.begin(), r.end(), wire.begin()));
  EXPECT_EQ(wire[64], 0x00);
}

TEST(DisplayReport, FirmwareRequestAndReply) {
  const Report request = BuildFirmwareVersionRequest();
  EXPECT_EQ(request[0], 0x07);
  EXPECT_EQ(request[1], 0xFD);
  for (std::size_t i = 2; i < request.size(); ++i) EXPECT_EQ(request[i], 0);
  Report reply{0x07, 0x01, 0x23};
  EXPECT_EQ(DecodeFirmwareVersion(reply), 0x0123);
  reply = {0x07, 0xFF, 0xFE};
  EXPECT_EQ(DecodeFirmwareVersion(reply), 0xFFFE);
}

}  // namespace
}  // namespace calorix
