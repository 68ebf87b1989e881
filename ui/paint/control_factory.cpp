// The control factory's table: control class names and how each class is built.
#include "ui/paint/control_factory.h"

#include <cwchar>

#include "ui/controls/mbutton.h"
#include "ui/controls/mcontrol.h"
#include "ui/controls/mpicture.h"
#include "ui/controls/mtext.h"

namespace Zentu {
namespace {

struct ControlClass {
  const wchar_t* name;
  ControlCreator create;
};

MControl* CreateCArea(MObject* parent, UINT id, CRect rect, const wchar_t*, int first, int) {
  return new CArea(parent, id, rect, first, 1);
}

MControl* CreateMText(MObject* parent, UINT id, CRect rect, const wchar_t* text, int first, int) {
  return new MText(parent, id, rect, text, first);
}

MControl* CreateMPicture(MObject* parent, UINT id, CRect rect, const wchar_t*, int first,
                         int second) {
  return new MPicture(parent, id, rect, first, second);
}

MControl* CreateMButton(MObject* parent, UINT id, CRect rect, const wchar_t* text, int first,
                        int second) {
  return new MButton(parent, id, rect, text, first, second);
}

// Looked up in order; "CArea" stays first. Each class of the library joins with one row.
// The names of the extended control set are not listed, so they create nothing.
constexpr ControlClass kControlClasses[] = {
    {L"CArea", &CreateCArea},
    {L"MText", &CreateMText},
    {L"MPicture", &CreateMPicture},
    {L"MButton", &CreateMButton},
};

}  // namespace

ControlCreator FindControlCreator(const wchar_t* name) {
  if (name == nullptr || *name == L'\0') return nullptr;
  for (const ControlClass& entry : kControlClasses)
    if (std::wcscmp(entry.name, name) == 0) return entry.create;
  return nullptr;
}

}  // namespace Zentu
