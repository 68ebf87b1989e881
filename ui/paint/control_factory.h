// The control factory's table: control class names and how each class is built.
#pragma once

#include <windows.h>

#include "ui/core/geometry.h"

namespace Zentu {

class MObject;
class MControl;

// Builds one control class from the factory's arguments (parent, id, rect, text and the two
// integers); the result is not yet given a manager.
using ControlCreator = MControl* (*)(MObject* parent, UINT id, CRect rect, const wchar_t* text,
                                     int first, int second);

// The creator for `name` (exact, case-sensitive), or null when the name is not listed.
ControlCreator FindControlCreator(const wchar_t* name);

}  // namespace Zentu
