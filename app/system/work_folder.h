// The per-user work folder, LocalAppData\KEM Files\, and the program's log inside it.
#pragma once

#include <filesystem>

namespace calorix {

// LocalAppData\KEM Files, created when missing; empty when the shell cannot say where
// LocalAppData is.
std::filesystem::path WorkFolder();

// Attaches the diagnostic log to "calorix.log" in the work folder.
bool OpenProgramLog();
// Attaches it to `file_name` in the work folder: each program of the system logs to its own.
bool OpenLogInWorkFolder(const wchar_t* file_name);

}  // namespace calorix
