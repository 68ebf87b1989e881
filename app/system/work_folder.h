// The per-user work folder, LocalAppData\KEM Files\, and the program's log inside it.
#pragma once

#include <filesystem>

namespace calorix {

// LocalAppData\KEM Files, at the place the user's profile gives LocalAppData (never where a
// per-user setting moved it: the elevated program would write there); empty when the shell
// cannot say where that is. Nothing is made here.
std::filesystem::path WorkFolder();

// Attaches the diagnostic log to "calorix.log" in the work folder, making the folder when
// missing. Every folder on the way is held from the volume's root down; one that is a link
// is refused (see LogOpen).
bool OpenProgramLog();
// Attaches it to `file_name` in the work folder: each program of the system logs to its own.
bool OpenLogInWorkFolder(const wchar_t* file_name);

}  // namespace calorix
