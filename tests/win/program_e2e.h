// What the end-to-end tests' probe and the test build's hook of the tray program share.
#pragma once

#include <windows.h>

namespace calorix::test {

// WM_COPYDATA kinds understood by the test build (see program_hid_plug.cpp).
inline constexpr ULONG_PTR kPlugCommand = 0x43500001;
inline constexpr ULONG_PTR kProbeCommand = 0x43500002;

}  // namespace calorix::test
