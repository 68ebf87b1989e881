// The folder part of a module path.
#include "app/base/program_directory.h"

namespace calorix {

std::wstring ProgramDirectoryOf(std::wstring_view module_path) {
  const std::size_t slash = module_path.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return std::wstring();
  std::wstring folder(module_path.substr(0, slash));
  folder += L'\\';
  return folder;
}

}  // namespace calorix
