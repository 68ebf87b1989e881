// Writes the library's skin folder and the library's own path to the file named by argv[1].
#include <windows.h>

#include <cstdio>

#include "ui/core/manager.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  wchar_t library[MAX_PATH] = {};
  ::GetModuleFileNameW(::GetModuleHandleW(L"Zentu.dll"), library, MAX_PATH);
  Zentu::CString text = Zentu::GetSkinFolder();
  text += L"\n";
  text += Zentu::GetSkinPath(L"bg\\main.png");
  text += L"\n";
  text += library;
  // Raw UTF-16, one value per line.
  FILE* out = _wfopen(argv[1], L"wb");
  if (!out) return 3;
  const size_t written = fwrite(text.GetString(), sizeof(wchar_t), text.GetLength(), out);
  fclose(out);
  return written == static_cast<size_t>(text.GetLength()) ? 0 : 4;
}
