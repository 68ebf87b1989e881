// Version texts from the update server and the update server's base URL.
#include <gtest/gtest.h>

#include <string>

#include "app/update/update_plan.h"
#include "app/update/version_text.h"

namespace calorix {
namespace {

TEST(VersionText, CompareVersionsByNumberAndPartCount) {
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"1.0.0.9"), 0);
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"1.0.0.10"), 1);  // numbers, not text
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"1.0.0.8"), -1);
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"1.0.1"), 2);
  EXPECT_EQ(CompareVersions(L"1..0", L"1.0.0"), 0);                 // an empty part reads as 0
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"1.0.0.99999999999"), 1);  // saturates
  EXPECT_TRUE(SoftwareIsNewer(L"1.0.0.9", L"1.0.0.9.1"));
}

TEST(VersionText, OnlyPlainVersionsOfTenCharactersAtMostCount) {
  const auto software = [](std::wstring_view body) {
    return AcceptVersionText(body, VersionKind::kSoftware).value_or(L"<ignored>");
  };
  EXPECT_EQ(software(L"1.0.1.0\r\n"), L"1.0.1.0");
  EXPECT_EQ(software(L"\xFEFF"
                     L"1.0.1.0"),
            L"1.0.1.0");  // a UTF-8 byte-order mark
  EXPECT_EQ(software(L"1.0.0.10.1"), L"1.0.0.10.1");
  EXPECT_EQ(software(L"1.0.0.10.1 "), L"<ignored>");  // ten characters before trimming
  for (std::wstring_view body : std::initializer_list<std::wstring_view>{
           L"", L"  ", L"..\\..\\x", L"1.0/1", L"1..0", L".1", L"1.", L"v1.0", L"1.0 1", L"-1.0",
           std::wstring_view(L"1\0", 2)})
    EXPECT_EQ(software(body), L"<ignored>") << body.size();
  EXPECT_EQ(AcceptVersionText(L"110\n", VersionKind::kFirmware), L"110");
  EXPECT_FALSE(AcceptVersionText(L"1.10", VersionKind::kFirmware));
}

TEST(VersionText, FirmwareIsTheDeviceVersionInHexReadAsDecimal) {
  EXPECT_EQ(FirmwareNumber(0x0109), 109);
  EXPECT_EQ(FirmwareNumber(0x010A), 10);  // "10a"
  EXPECT_TRUE(FirmwareIsNewer(0x0109, L"110"));
  EXPECT_FALSE(FirmwareIsNewer(0x0109, L"109"));
  EXPECT_FALSE(FirmwareIsNewer(-1, L"999"));  // no readable device version
}

TEST(UpdatePlan, UsableBaseUrls) {
  for (const wchar_t* url : {L"https://update.example", L"HTTP://127.0.0.1:8080/v/"})
    EXPECT_TRUE(IsUsableBaseUrl(url)) << url;
  for (const wchar_t* url :
       {L"", L"https://", L"https:///x", L"ftp://a.example", L"a.example", L"https://a.example/a b",
        L"https://a.example/?q", L"https://a.example/#x", L"https://a\\b", L"https://\x00E9.fr"})
    EXPECT_FALSE(IsUsableBaseUrl(url)) << url;
  EXPECT_FALSE(IsUsableBaseUrl(L"https://" + std::wstring(200, L'a')));
  EXPECT_EQ(ChannelUrl(L"https://u.example/base/", UpdateChannel::kFirmware),
            L"https://u.example/base/q7rb/firmware/");
}

}  // namespace
}  // namespace calorix
