// The update key and signatures as openssl writes them, decoded without the Windows API: an
// ECDSA P-256 public key (SubjectPublicKeyInfo, PEM or bare base64) and a DER signature.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace calorix {

// The curve point of a P-256 public key: X then Y, 32 bytes each, big-endian.
struct UpdateKey {
  std::array<std::uint8_t, 64> point{};
};

// `text` is what `openssl ec -pubout` writes (the PEM armour may be left out), blanks and
// line breaks anywhere. Nothing for any other key type, curve or encoding.
std::optional<UpdateKey> ParseUpdateKey(std::string_view text);

// The two numbers r and s of a DER ECDSA-Sig-Value, each as 32 big-endian bytes (the layout
// bcrypt verifies). Strict DER: nothing for extra bytes, non-minimal or negative numbers,
// zero, or a number wider than the curve.
std::optional<std::array<std::uint8_t, 64>> EcdsaSignatureToRaw(const std::uint8_t* der,
                                                                std::size_t size);

// openssl writes 72 bytes at most; anything far longer is not a signature and is not read.
inline constexpr std::size_t kMaxSignatureBytes = 256;

// What a signature covers comes first in the signed message: the program's file name and a
// NUL, then its bytes. A release signed as Software-1.0.1.0.exe therefore cannot be offered
// under another version's name or as the firmware tool. Empty for a name that is not ASCII.
std::string SignedNamePrefix(std::wstring_view program_name);

}  // namespace calorix
