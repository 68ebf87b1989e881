// Checking an update's program against its detached signature with the system's own crypto
// (bcrypt: ECDSA P-256 over SHA-256, on Windows 7 and later).
#pragma once

#include <windows.h>

#include <string_view>

#include "app/update/signature_format.h"

namespace calorix {

enum class SignatureCheck {
  kValid,
  kMalformed,   // the signature file is not one DER ECDSA signature
  kInvalid,     // it is not the key's signature of this program under this name
  kUnreadable,  // a read through a handle failed
  kNoCrypto,    // the system's crypto could not be used
};

const char* SignatureCheckText(SignatureCheck check);

// Reads the signature through `signature` and the program through `program`, each from its
// start, and verifies the signature of the program's name prefix (SignedNamePrefix) and bytes
// with `key`. Nothing is read by name, so what is verified is what the handles hold.
SignatureCheck VerifyProgram(HANDLE program, std::wstring_view program_name, HANDLE signature,
                             const UpdateKey& key);

}  // namespace calorix
