// Reading a stored setting's text as a number, the way the C runtime's _wtoi does.
#pragma once

namespace calorix {

// Leading white space and one sign are accepted, digits are read up to the first other
// character, and text without a number gives 0. Values beyond 32 bits saturate instead of
// overflowing.
int ParseSettingText(const wchar_t* text);

}  // namespace calorix
