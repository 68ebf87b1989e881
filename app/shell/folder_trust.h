// Whether anyone but SYSTEM, the administrators and TrustedInstaller can change the program in
// a folder: only a program nobody else can change is started elevated at every logon.
#pragma once

#include <windows.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "app/system/startup_task.h"
#include "app/system/write_access.h"

namespace calorix {

// The owner and access list of a file or folder, by path; nothing when they cannot be read.
std::optional<ObjectSecurity> ReadObjectSecurity(const std::wstring& path);
// The same, from a security descriptor in memory.
std::optional<ObjectSecurity> DescribeSecurity(PSECURITY_DESCRIPTOR descriptor);

using SecurityReader = std::function<std::optional<ObjectSecurity>(const std::wstring& path)>;

// Who else can change the program started from `folder`, read through `read`: every folder
// from the volume's root down to where `folder` really is (past any link on the way), and its
// subfolders that hold the server and the skin. Empty when nobody else can; else the first
// folder that others can change and who they are ("C:\Tools can be changed by S-1-5-11").
std::string WhoElseCanChange(const std::wstring& folder,
                             const SecurityReader& read = ReadObjectSecurity);

// Registers the logon task (CreateStartupTask) only for a program in a folder that nobody else
// can change; otherwise registers nothing and the log says why. Returns whether the
// registration was attempted.
bool CreateStartupTaskIfTrusted();
bool CreateStartupTaskIfTrusted(const std::wstring& folder, const SecurityReader& read,
                                const TaskServiceFactory& create_service, std::FILE* errors);

}  // namespace calorix
