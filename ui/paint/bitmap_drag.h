// DragBitmapOut: a bitmap dragged out of the window through OLE drag and drop.
#pragma once

#include <windows.h>

namespace Zentu {

// Offers a copy of `bitmap` as CF_BITMAP and CF_ENHMETAFILE, with the shell's drag image,
// until the button is released or Esc pressed; modal. The bitmap stays the caller's.
void DragBitmapOut(HBITMAP bitmap);

}  // namespace Zentu
