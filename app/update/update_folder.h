// The folder one update is unpacked into and started from: a fresh folder under
// %ProgramData%\KEM Files\update\ that only SYSTEM and the administrators can write.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/system/held_path.h"

namespace calorix {

// %ProgramData%\KEM Files\update\ (ending in a backslash), from the shell's fixed folder,
// which neither the environment nor a per-user setting can move; empty when the shell cannot
// say where it is.
std::wstring UpdateFolderRoot();

// Every folder from the volume's root down to the new one is opened and held while the object
// lives, without delete sharing, so none can be renamed, replaced or turned into a link; a
// folder that already is a link (a junction, a mount point, a symbolic link) is refused.
// "KEM Files" and "update" are made when missing, and the new folder always is, with a
// protected DACL: SYSTEM and Administrators full control, Users read and execute. Files made
// inside inherit it.
class UpdateFolder {
 public:
  // Nothing when the folder cannot be made; `why` then says which step failed.
  static std::optional<UpdateFolder> Create(std::string* why);

  UpdateFolder(UpdateFolder&&) = default;
  UpdateFolder& operator=(UpdateFolder&&) = default;

  // Ends with a backslash.
  const std::wstring& path() const { return path_; }
  // Deletes the folder and everything in it (never what a link inside points to). Afterwards
  // the object holds only the folders above it.
  void Remove();

 private:
  UpdateFolder() = default;

  HeldFolders chain_;          // owned: held from the root down to update\ .
  UniqueKernelHandle folder_;  // owned: the new folder, held the same way
  std::wstring name_;          // of the new folder, inside update\ .
  std::wstring path_;
};

// Deletes what earlier updates left under the root. A folder whose program still runs stays
// (with what is in use) until a later call.
void RemoveLeftoverUpdateFolders();

}  // namespace calorix
