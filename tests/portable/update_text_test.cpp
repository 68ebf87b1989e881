// Version texts from the update server, its base URL and redirects, the update key and
// signatures.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/update/signature_format.h"
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
  // A missing part counts as 0: only a greater version is newer, whatever its part count.
  EXPECT_TRUE(SoftwareIsNewer(L"1.0.0.9", L"1.0.0.9.1"));
  EXPECT_TRUE(SoftwareIsNewer(L"1.0.0.9", L"1.0.1"));
  EXPECT_TRUE(SoftwareIsNewer(L"1.0.0.9", L"2"));
  for (const wchar_t* latest : {L"1.0", L"1.0.0.9", L"1.0.0.9.0", L"1.0.0.8.9", L"0.9.9.9.9"})
    EXPECT_FALSE(SoftwareIsNewer(L"1.0.0.9", latest)) << latest;
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

TEST(UpdatePlan, UsableBaseUrlsAndRedirects) {
  for (const wchar_t* url :
       {L"https://update.example", L"HTTP://127.0.0.1:8080/v/", L"http://127.1.2.3",
        L"http://localhost:81", L"http://[::1]:8080/x", L"https://10.0.0.1:8443"})
    EXPECT_TRUE(IsUsableBaseUrl(url)) << url;
  for (const wchar_t* url :
       {L"", L"https://", L"https:///x", L"ftp://a.example", L"a.example", L"https://a.example/a b",
        L"https://a.example/?q", L"https://a.example/#x", L"https://a\\b", L"https://\x00E9.fr",
        L"https://a.example:0", L"https://a.example:99999", L"https://u@a.example"})
    EXPECT_FALSE(IsUsableBaseUrl(url)) << url;
  // Plain http only where nobody on the way can read or change it.
  for (const wchar_t* url :
       {L"http://update.example", L"http://127.0.0.1.example", L"http://128.0.0.1",
        L"http://127.0.0", L"http://127.0.0.256", L"http://localhost.example", L"http://[::2]"})
    EXPECT_STREQ(BaseUrlProblem(url), "plain http only to a loopback address") << url;
  EXPECT_FALSE(IsUsableBaseUrl(L"https://" + std::wstring(200, L'a')));
  EXPECT_EQ(ChannelUrl(L"https://u.example/base/", UpdateChannel::kFirmware),
            L"https://u.example/base/q7rb/firmware/");

  const wchar_t* from = L"https://u.example/q7rb/software///Software-1.0.1.0.zip";
  EXPECT_TRUE(IsAllowedRedirect(from, L"https://U.example:443/mirror/Software-1.0.1.0.zip"));
  for (const wchar_t* to :
       {L"http://u.example/x.zip", L"https://v.example/x.zip", L"https://u.example:8443/x.zip",
        L"https://u.example.v.example/x", L"/relative/x.zip", L"https://evil@u.example/x"})
    EXPECT_FALSE(IsAllowedRedirect(from, to)) << to;
}

// openssl ec -pubout of a P-256 key, and another curve's key (P-384).
constexpr char kP256Key[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEUlMLlKM7CYYSdN6wvw+8I4a8ddUr\n"
    "1jWh8EK2TJVGB/ft5SJuo+Ma1UIE7spWIWMfOV5QOT0QOEFenL3I54Vxgg==\n"
    "-----END PUBLIC KEY-----\n";
constexpr char kP384Key[] =
    "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAERFRovyuXVE8LO9enx5kUw7JI+rYmvheSDku6TkWih/3U9IRHYZJhRc8+"
    "HKlY2QFcDYzXMFyk3+3f+BWzYZt0fqt/9VhCgl3Ll+YXEG1CXP2Y77cW8tZLnlQf7FbxwrHl";

TEST(SignatureFormat, UpdateKeys) {
  const auto key = ParseUpdateKey(kP256Key);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->point[0], 0x52);   // X begins 52 53 0B
  EXPECT_EQ(key->point[63], 0x82);  // Y ends ... 85 71 82
  std::string bare(kP256Key);
  bare = bare.substr(27, bare.size() - 27 - 25);  // without the armour, line breaks kept
  EXPECT_EQ(ParseUpdateKey(bare).value_or(UpdateKey{}).point, key->point);
  for (std::string text : {std::string(kP384Key), bare.substr(1), bare + "A", bare + "==",
                           std::string(), std::string("-----BEGIN PUBLIC KEY-----") + bare})
    EXPECT_FALSE(ParseUpdateKey(text)) << text;
}

TEST(SignatureFormat, DerSignaturesBecomeTwoNumbersOf32Bytes) {
  // r with a leading zero (its top bit set), s short: both end up right-aligned.
  std::vector<std::uint8_t> der = {0x30, 0x29, 0x02, 0x21, 0x00};
  for (int i = 0; i < 32; ++i) der.push_back(static_cast<std::uint8_t>(0x80 + i));
  der.insert(der.end(), {0x02, 0x04, 0x01, 0x02, 0x03, 0x04});
  const auto raw = EcdsaSignatureToRaw(der.data(), der.size());
  ASSERT_TRUE(raw);
  EXPECT_EQ((*raw)[0], 0x80);
  EXPECT_EQ((*raw)[31], 0x9F);
  EXPECT_EQ((*raw)[59], 0x00);
  EXPECT_EQ((*raw)[60], 0x01);
  EXPECT_EQ((*raw)[63], 0x04);
  auto changed = [&](std::size_t at, std::uint8_t value) {
    std::vector<std::uint8_t> copy = der;
    copy[at] = value;
    return EcdsaSignatureToRaw(copy.data(), copy.size()).has_value();
  };
  EXPECT_FALSE(changed(1, 0x2A));   // the length does not match
  EXPECT_FALSE(changed(5, 0x00));   // r's leading zero is not needed: not minimal
  EXPECT_FALSE(changed(39, 0x81));  // s negative
  EXPECT_FALSE(changed(37, 0x03));  // not an integer
  std::vector<std::uint8_t> longer = der;
  longer.push_back(0);
  EXPECT_FALSE(EcdsaSignatureToRaw(longer.data(), longer.size()));
  const std::uint8_t zero[] = {0x30, 0x06, 0x02, 0x01, 0x00, 0x02, 0x01, 0x01};
  EXPECT_FALSE(EcdsaSignatureToRaw(zero, sizeof zero));
  EXPECT_EQ(SignedNamePrefix(L"Software-1.0.1.0.exe"), std::string("Software-1.0.1.0.exe\0", 21));
  EXPECT_EQ(SignedNamePrefix(L"Software-\x00E9.exe"), "");
}

}  // namespace
}  // namespace calorix
