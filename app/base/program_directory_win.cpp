// The running executable's folder, from the system.
#include "app/base/executable_path.h"
#include "app/base/program_directory.h"

namespace calorix {

std::wstring GetProgramDirectory() { return ProgramDirectoryOf(ExecutablePath()); }

}  // namespace calorix
