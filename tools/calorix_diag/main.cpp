// CalorixDiag: the console diagnostics tool shipped beside the tray program.
#include <windows.h>

#include <string>
#include <vector>

#include "tools/calorix_diag/diag.h"

namespace {

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  calorix::diag::RequestStop();  // --watch and --sweep end after their current step
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Product names and adapter names are printed as UTF-8.
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(calorix::diag::Utf8(argv[i]));
  return calorix::diag::Main(args, {stdout, stderr});
}
