// Verifying update programs with bcrypt.
#include "app/update/update_signature.h"

#include <bcrypt.h>

#include <memory>
#include <vector>

#include "app/base/unique_handle.h"

namespace calorix {
namespace {

struct AlgorithmTraits {
  using type = BCRYPT_ALG_HANDLE;
  static type invalid() { return nullptr; }
  void close(type h) const { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct KeyTraits {
  using type = BCRYPT_KEY_HANDLE;
  static type invalid() { return nullptr; }
  void close(type h) const { ::BCryptDestroyKey(h); }
};
struct HashTraits {
  using type = BCRYPT_HASH_HANDLE;
  static type invalid() { return nullptr; }
  void close(type h) const { ::BCryptDestroyHash(h); }
};
using UniqueAlgorithm = UniqueHandle<AlgorithmTraits>;

constexpr DWORD kReadChunk = 64 * 1024;

UniqueAlgorithm OpenAlgorithm(const wchar_t* name) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&algorithm, name, nullptr, 0))) return {};
  return UniqueAlgorithm(algorithm);
}

bool Rewind(HANDLE file) { return ::SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN); }

// SHA-256 of `prefix` followed by everything `file` holds.
std::optional<std::array<UCHAR, 32>> HashProgram(HANDLE file, const std::string& prefix,
                                                 SignatureCheck* failure) {
  const UniqueAlgorithm sha256 = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM);
  BCRYPT_HASH_HANDLE raw = nullptr;
  if (!sha256 ||
      !BCRYPT_SUCCESS(::BCryptCreateHash(sha256.get(), &raw, nullptr, 0, nullptr, 0, 0))) {
    *failure = SignatureCheck::kNoCrypto;
    return std::nullopt;
  }
  const UniqueHandle<HashTraits> hash(raw);
  ::BCryptHashData(hash.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(prefix.data())),
                   static_cast<ULONG>(prefix.size()), 0);
  std::vector<UCHAR> chunk(kReadChunk);
  if (!Rewind(file)) {
    *failure = SignatureCheck::kUnreadable;
    return std::nullopt;
  }
  for (DWORD read = 0;; ::BCryptHashData(hash.get(), chunk.data(), read, 0)) {
    if (!::ReadFile(file, chunk.data(), kReadChunk, &read, nullptr)) {
      *failure = SignatureCheck::kUnreadable;
      return std::nullopt;
    }
    if (read == 0) break;
  }
  std::array<UCHAR, 32> digest{};
  if (!BCRYPT_SUCCESS(::BCryptFinishHash(hash.get(), digest.data(), 32, 0))) {
    *failure = SignatureCheck::kNoCrypto;
    return std::nullopt;
  }
  return digest;
}

std::optional<std::vector<std::uint8_t>> ReadSignature(HANDLE file) {
  std::vector<std::uint8_t> bytes(kMaxSignatureBytes + 1);
  DWORD read = 0;
  if (!Rewind(file) ||
      !::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    return std::nullopt;
  bytes.resize(read);
  return bytes;
}

bool VerifyDigest(const UpdateKey& key, std::array<UCHAR, 32> digest,
                  std::array<std::uint8_t, 64> signature, SignatureCheck* failure) {
  const UniqueAlgorithm ecdsa = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
  struct Blob {
    BCRYPT_ECCKEY_BLOB header;
    UCHAR point[64];
  } blob{{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32}, {}};
  std::copy(key.point.begin(), key.point.end(), blob.point);
  BCRYPT_KEY_HANDLE raw = nullptr;
  if (!ecdsa ||
      !BCRYPT_SUCCESS(::BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &raw,
                                            reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0))) {
    *failure = SignatureCheck::kNoCrypto;
    return false;
  }
  const UniqueHandle<KeyTraits> public_key(raw);
  *failure = SignatureCheck::kInvalid;
  return BCRYPT_SUCCESS(::BCryptVerifySignature(public_key.get(), nullptr, digest.data(), 32,
                                                signature.data(), 64, 0));
}

}  // namespace

const char* SignatureCheckText(SignatureCheck check) {
  switch (check) {
    case SignatureCheck::kValid:
      return "signed with the update key";
    case SignatureCheck::kMalformed:
      return "its signature is malformed";
    case SignatureCheck::kInvalid:
      return "its signature does not verify with the update key";
    case SignatureCheck::kUnreadable:
      return "it could not be read";
    case SignatureCheck::kNoCrypto:
      return "the system's crypto is not available";
  }
  return "?";
}

SignatureCheck VerifyProgram(HANDLE program, std::wstring_view program_name, HANDLE signature,
                             const UpdateKey& key) {
  const std::optional<std::vector<std::uint8_t>> der = ReadSignature(signature);
  if (!der) return SignatureCheck::kUnreadable;
  const auto raw = EcdsaSignatureToRaw(der->data(), der->size());
  const std::string prefix = SignedNamePrefix(program_name);
  if (!raw || prefix.empty()) return SignatureCheck::kMalformed;
  SignatureCheck failure = SignatureCheck::kValid;
  const auto digest = HashProgram(program, prefix, &failure);
  if (!digest || !VerifyDigest(key, *digest, *raw, &failure)) return failure;
  return SignatureCheck::kValid;
}

}  // namespace calorix
