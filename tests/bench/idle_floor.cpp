// The floor the tray program's steady running is measured against: a Windows GUI program
// that only runs a message loop with a 1-second timer.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  ::SetTimer(nullptr, 0, 1000, nullptr);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  return 0;
}
