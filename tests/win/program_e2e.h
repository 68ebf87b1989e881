// What the end-to-end tests' probe and the test build's hook of the tray program share.
#pragma once

#include <windows.h>

namespace calorix::test {

// The test build's message-only window (see program_hid_plug.cpp) and the WM_COPYDATA
// kinds it understands.
inline constexpr wchar_t kPlugWindowClass[] = L"CalorixE2EPlug";
inline constexpr ULONG_PTR kPlugCommand = 0x43500001;
inline constexpr ULONG_PTR kProbeCommand = 0x43500002;
inline constexpr ULONG_PTR kShownCommand = 0x43500003;

}  // namespace calorix::test
