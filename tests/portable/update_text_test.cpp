// Version texts from the update server, and the names and URLs the update service builds.
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
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"2.0.0.0"), 1);
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"1.0.1"), 2);
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"1.0.0.9.1"), 2);
  EXPECT_EQ(CompareVersions(L"1..0", L"1.0.0"), 0);  // an empty part reads as 0
  EXPECT_EQ(CompareVersions(L"", L""), 0);
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"1.0.0.99999999999"), 1);  // saturates, no overflow
  EXPECT_TRUE(SoftwareIsNewer(L"1.0.0.9", L"1.0.1"));
  EXPECT_FALSE(SoftwareIsNewer(L"1.0.0.9", L"1.0.0.8"));
}

TEST(VersionText, OnlyPlainVersionsOfTenCharactersAtMostCount) {
  const auto software = [](std::wstring_view body) {
    return AcceptVersionText(body, VersionKind::kSoftware).value_or(L"<ignored>");
  };
  EXPECT_EQ(software(L"1.0.1.0"), L"1.0.1.0");
  EXPECT_EQ(software(L"1.0.1.0\r\n"), L"1.0.1.0");
  EXPECT_EQ(software(L"\xFEFF"
                     L"1.0.1.0"),
            L"1.0.1.0");  // a UTF-8 byte-order mark
  EXPECT_EQ(software(L"\t7 "), L"7");
  // Ten characters before trimming, at most.
  EXPECT_EQ(software(L"1.0.0.10.1"), L"1.0.0.10.1");
  EXPECT_EQ(software(L"1.0.0.10.1 "), L"<ignored>");
  EXPECT_EQ(software(L"<html><body>404</body></html>"), L"<ignored>");
  for (const wchar_t* body :
       {L"", L"  ", L"..\\..\\x", L"1.0/1", L"1..0", L".1", L"1.", L"v1.0", L"1.0 1", L"-1.0"}) {
    EXPECT_EQ(software(body), L"<ignored>") << std::wstring(body).size();
  }
  EXPECT_EQ(software(std::wstring_view(L"1.0\0x", 5)), L"<ignored>");
  EXPECT_EQ(AcceptVersionText(L"110\n", VersionKind::kFirmware), L"110");
  EXPECT_FALSE(AcceptVersionText(L"1.10", VersionKind::kFirmware));
  EXPECT_FALSE(AcceptVersionText(L"+110", VersionKind::kFirmware));
}

TEST(VersionText, FirmwareIsTheDeviceVersionInHexReadAsDecimal) {
  EXPECT_EQ(FirmwareNumber(0x0109), 109);
  EXPECT_EQ(FirmwareNumber(0x010A), 10);  // "10a"
  EXPECT_EQ(FirmwareNumber(0), 0);
  EXPECT_EQ(FirmwareNumber(0xFFFF), 0);  // "ffff"
  EXPECT_TRUE(FirmwareIsNewer(0x0109, L"110"));
  EXPECT_FALSE(FirmwareIsNewer(0x0109, L"109"));
  EXPECT_FALSE(FirmwareIsNewer(-1, L"999"));  // no readable device version
  EXPECT_TRUE(FirmwareIsNewer(0, L"1"));
}

TEST(UpdatePlan, ChannelsArchivesAndPrograms) {
  const std::wstring channel =
      ChannelUrl(L"https://update.example/base/", UpdateChannel::kSoftware);
  EXPECT_EQ(channel, L"https://update.example/base/q7rb/software/");
  EXPECT_EQ(ChannelUrl(L"http://127.0.0.1:8080", UpdateChannel::kFirmware),
            L"http://127.0.0.1:8080/q7rb/firmware/");
  EXPECT_EQ(VersionUrl(channel), L"https://update.example/base/q7rb/software/version");
  EXPECT_EQ(ArchiveUrl(channel, ArchiveName(UpdateChannel::kSoftware, L"1.0.1.0")),
            L"https://update.example/base/q7rb/software///Software-1.0.1.0.zip");
  EXPECT_EQ(ArchiveName(UpdateChannel::kFirmware, L"110"), L"FirmwareUpdateTool-110.zip");
  EXPECT_EQ(ProgramName(UpdateChannel::kSoftware, L"1.0.1.0"), L"Software-1.0.1.0.exe");
  EXPECT_EQ(ProgramName(UpdateChannel::kFirmware, L"110"), L"FirmwareUpdateTool-110.exe");
}

TEST(UpdatePlan, UsableBaseUrls) {
  for (const wchar_t* url :
       {L"https://update.example", L"HTTPS://update.example/base/", L"http://127.0.0.1:8080/v"}) {
    EXPECT_TRUE(IsUsableBaseUrl(url)) << url;
  }
  for (const wchar_t* url :
       {L"", L"https://", L"https:///path", L"ftp://update.example", L"file://C:/x",
        L"https://update.example/a b", L"https://update.example/?q=1", L"https://update.example/#x",
        L"https://update.example\\..\\x", L"https://\x00E9xample.com", L"update.example"}) {
    EXPECT_FALSE(IsUsableBaseUrl(url)) << url;
  }
  EXPECT_FALSE(IsUsableBaseUrl(L"https://" + std::wstring(200, L'a')));
}

}  // namespace
}  // namespace calorix
