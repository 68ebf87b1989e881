// MObject: root of everything that owns controls or hears from them.
#include "ui/core/mobject.h"

#include <cwchar>

namespace Zentu {

MObject::~MObject() = default;

int MObject::IsClass(const wchar_t* name) {
  const wchar_t* own = GetClassNameW();
  return own && name && wcscmp(own, name) == 0 ? 1 : 0;
}

const wchar_t* MObject::GetClassNameW() const { return nullptr; }
const wchar_t* MObject::GetObjectClass() { return nullptr; }
const wchar_t* MObject::BaseObjectClassName() { return nullptr; }
long MObject::OnBaseMessage(unsigned, unsigned, unsigned, long) { return 0; }
long MObject::OnControlUpdate(CRect, int, MControl*) { return 0; }

}  // namespace Zentu
