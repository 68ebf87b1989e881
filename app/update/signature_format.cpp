// Decoding the update key and openssl's signatures.
#include "app/update/signature_format.h"

#include <algorithm>
#include <vector>

namespace calorix {
namespace {

// SubjectPublicKeyInfo of an uncompressed P-256 point: the algorithm (id-ecPublicKey with
// the curve prime256v1), the bit string's header and the 0x04 that marks an uncompressed
// point. Only the 64 bytes of X and Y follow.
constexpr std::uint8_t kP256KeyPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48,
                                           0xCE, 0x3D, 0x02, 0x01, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                           0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The text between the armour lines, or all of it when there is none.
std::string_view WithoutArmour(std::string_view text) {
  constexpr std::string_view kBegin = "-----BEGIN PUBLIC KEY-----";
  constexpr std::string_view kEnd = "-----END PUBLIC KEY-----";
  const std::size_t begin = text.find(kBegin);
  if (begin == std::string_view::npos) return text;
  text.remove_prefix(begin + kBegin.size());
  const std::size_t end = text.find(kEnd);
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end);
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
  std::vector<std::uint8_t> out;
  unsigned bits = 0;
  int count = 0, padding = 0;
  for (char c : text) {
    if (IsBlank(c)) continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = Base64Value(c);
    if (value < 0 || padding > 0) return std::nullopt;  // data after the padding
    bits = (bits << 6) | static_cast<unsigned>(value);
    if (++count % 4 == 0) {
      out.push_back(static_cast<std::uint8_t>(bits >> 16));
      out.push_back(static_cast<std::uint8_t>(bits >> 8));
      out.push_back(static_cast<std::uint8_t>(bits));
      bits = 0;
    }
  }
  const int rest = count % 4;
  if (rest == 1 || (rest == 0 && padding != 0) || (rest != 0 && padding != 4 - rest))
    return std::nullopt;
  if (rest >= 2) out.push_back(static_cast<std::uint8_t>(bits >> (rest == 2 ? 4 : 10)));
  if (rest == 3) out.push_back(static_cast<std::uint8_t>(bits >> 2));
  return out;
}

// One DER INTEGER at `der[*at]` into 32 big-endian bytes at `out`.
bool ReadInteger(const std::uint8_t* der, std::size_t end, std::size_t* at, std::uint8_t* out) {
  if (*at + 2 > end || der[*at] != 0x02) return false;
  std::size_t length = der[*at + 1];
  const std::uint8_t* value = der + *at + 2;
  if (length == 0 || length > 33 || *at + 2 + length > end) return false;
  *at += 2 + length;
  if (value[0] & 0x80) return false;                                    // negative
  if (length > 1 && value[0] == 0 && !(value[1] & 0x80)) return false;  // not minimal
  if (value[0] == 0) {
    ++value;
    --length;
  }
  if (length > 32 || length == 0) return false;  // wider than the curve, or zero
  std::fill(out, out + 32 - length, std::uint8_t{0});
  std::copy(value, value + length, out + 32 - length);
  return true;
}

}  // namespace

std::optional<UpdateKey> ParseUpdateKey(std::string_view text) {
  const auto der = DecodeBase64(WithoutArmour(text));
  constexpr std::size_t kPrefix = sizeof kP256KeyPrefix;
  if (!der || der->size() != kPrefix + 64 ||
      !std::equal(kP256KeyPrefix, kP256KeyPrefix + kPrefix, der->begin()))
    return std::nullopt;
  UpdateKey key;
  std::copy(der->begin() + kPrefix, der->end(), key.point.begin());
  return key;
}

std::optional<std::array<std::uint8_t, 64>> EcdsaSignatureToRaw(const std::uint8_t* der,
                                                                std::size_t size) {
  // A sequence of two integers of at most 33 bytes each is always short enough for a
  // one-byte length.
  if (size < 2 || der[0] != 0x30 || der[1] != size - 2) return std::nullopt;
  std::array<std::uint8_t, 64> raw{};
  std::size_t at = 2;
  if (!ReadInteger(der, size, &at, raw.data()) || !ReadInteger(der, size, &at, raw.data() + 32) ||
      at != size)
    return std::nullopt;
  return raw;
}

std::string SignedNamePrefix(std::wstring_view program_name) {
  std::string prefix;
  for (wchar_t c : program_name) {
    if (c == 0 || c >= 0x80) return {};
    prefix.push_back(static_cast<char>(c));
  }
  prefix.push_back('\0');
  return prefix;
}

}  // namespace calorix
