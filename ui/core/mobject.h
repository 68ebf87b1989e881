// MObject: root of everything that owns controls or hears from them.
#pragma once

#include "ui/core/geometry.h"
#include "ui/core/zentu_api.h"

namespace Zentu {

class MControl;

// The order of the virtual operations is part of the library's binary interface: the tray
// program derives from these classes across the DLL boundary. Append, never reorder.
class ZENTU_API MObject {
 public:
  MObject() = default;
  MObject(const MObject&) = default;
  MObject& operator=(const MObject&) = default;

  virtual ~MObject();
  // 1 when GetClassNameW() equals `name` exactly (case-sensitive), else 0.
  virtual int IsClass(const wchar_t* name);
  // The name controls are created by; null here, each concrete class answers its own.
  virtual const wchar_t* GetClassNameW() const;
  virtual const wchar_t* GetObjectClass();
  virtual const wchar_t* BaseObjectClassName();
  // A child control reports an event (code) with its id to its parent.
  virtual long OnBaseMessage(unsigned id, unsigned code, unsigned wparam, long lparam);
  // A child control asks its parent to repaint `rect`.
  virtual long OnControlUpdate(CRect rect, int flag, MControl* control);
};

}  // namespace Zentu
