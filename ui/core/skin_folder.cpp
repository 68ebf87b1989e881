// The skin-folder rule as plain string arithmetic on the executable's path.
#include "ui/core/skin_folder.h"

namespace Zentu {

CString SkinFolderFromExePath(const wchar_t* exe_path) {
  CString path(exe_path);
  int cut = -1;
  for (int i = path.GetLength() - 1; i >= 0; --i) {
    if (path.GetAt(i) == L'\\' || path.GetAt(i) == L'/') {
      cut = i;
      break;
    }
  }
  CString folder = path.Left(cut + 1);
  folder += kSkinRootFolder;
  folder += kThemeFolder;
  return folder;
}

}  // namespace Zentu
