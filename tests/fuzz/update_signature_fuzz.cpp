// Any key text or signature either is refused or decodes to exactly what bcrypt takes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/update/signature_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto raw = calorix::EcdsaSignatureToRaw(data, size);
  // A valid DER signature of two integers is 8 to 72 bytes long.
  if (raw && (size < 8 || size > 72)) std::abort();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto key = calorix::ParseUpdateKey(text);
  // Base64 of the 91-byte key is 124 characters; only blanks and armour come on top.
  if (key && size < 124) std::abort();
  return 0;
}
