// Registering the program as a logon task of the Task Scheduler.
#pragma once

#include <windows.h>
#include <taskschd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace calorix {

inline constexpr wchar_t kStartupTaskName[] = L"KEM StartupTask";
// The task starts the program under this name in the running executable's folder, whatever
// the running file is called.
inline constexpr wchar_t kStartupTaskProgram[] = L"Calorix.exe";

// Hands out a new reference to a Task Scheduler service object.
using TaskServiceFactory = std::function<HRESULT(ITaskService** service)>;

// The system's Task Scheduler: CLSID_TaskScheduler as an in-process server.
HRESULT CreateTaskSchedulerService(ITaskService** service);

// The folder of the running executable followed by kStartupTaskProgram.
std::wstring StartupTaskProgramPath();

// Creates or replaces the task "KEM StartupTask" in the root folder: logon trigger, highest
// run level, runs StartupTaskProgramPath(). Each failing step writes one line with its
// HRESULT to the standard error stream. Returns 1 when a step before the registration
// failed, 0 once the registration was attempted.
int CreateStartupTask();
// The same with another scheduler and error stream.
int CreateStartupTask(const TaskServiceFactory& create_service, std::FILE* errors);

enum class StartupTaskRemoval {
  kRemoved,  // the task was registered and is gone now
  kAbsent,   // there was no such task
  kFailed,   // a step failed; its line went to the error stream
};

// Deletes the task "KEM StartupTask" from the root folder (for the uninstaller), through the
// same service, connection and folder steps as the registration, with COM initialised
// around them. A failing step writes its line with the HRESULT, as the registration does.
StartupTaskRemoval DeleteStartupTask();
StartupTaskRemoval DeleteStartupTask(const TaskServiceFactory& create_service, std::FILE* errors);

}  // namespace calorix
