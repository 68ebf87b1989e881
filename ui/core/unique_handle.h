// Move-only ownership of one Win32 handle: the one template the programs use as well.
#pragma once

#include "app/base/unique_handle.h"

namespace Zentu {

using calorix::UniqueHandle;

}  // namespace Zentu
