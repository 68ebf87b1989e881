// The logon task, through the Task Scheduler 2.0 COM interfaces.
#include "app/system/startup_task.h"

#include "app/base/com_ptr.h"
#include "app/base/program_directory.h"

namespace calorix {
namespace {

constexpr int kFailed = 1;
constexpr int kRegistrationAttempted = 0;

// Prints the step's line with the code in lower-case hex when `hr` is a failure.
bool Failed(HRESULT hr, std::FILE* errors, const char* text) {
  if (SUCCEEDED(hr)) return false;
  std::fprintf(errors, "%s%lx\n", text, static_cast<unsigned long>(hr));
  return true;
}

// A call that claims success but hands out no interface would crash the next step.
template <class T>
HRESULT Obtained(HRESULT hr, const ComPtr<T>& p) {
  return SUCCEEDED(hr) && !p ? E_POINTER : hr;
}

VARIANT EmptyVariant() {
  VARIANT v;
  ::VariantInit(&v);  // VT_EMPTY
  return v;
}

// A VARIANT holding an empty BSTR, cleared when it goes away.
class EmptyStringVariant {
 public:
  EmptyStringVariant() {
    ::VariantInit(&v_);
    v_.vt = VT_BSTR;
    v_.bstrVal = ::SysAllocString(L"");
  }
  EmptyStringVariant(const EmptyStringVariant&) = delete;
  EmptyStringVariant& operator=(const EmptyStringVariant&) = delete;
  ~EmptyStringVariant() { ::VariantClear(&v_); }
  const VARIANT& get() const { return v_; }

 private:
  VARIANT v_;  // owned
};

// The settings' setters report nothing: a failing one leaves the scheduler's default.
void ApplySettings(ITaskDefinition* definition) {
  ComPtr<ITaskSettings> settings;
  if (FAILED(Obtained(definition->get_Settings(settings.put()), settings))) return;
  settings->put_StopIfGoingOnBatteries(VARIANT_FALSE);
  settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE);
  settings->put_AllowDemandStart(VARIANT_TRUE);
  settings->put_StartWhenAvailable(VARIANT_FALSE);
  settings->put_MultipleInstances(TASK_INSTANCES_PARALLEL);
  UniqueBstr no_limit(L"PT0S");
  settings->put_ExecutionTimeLimit(no_limit.get());
}

// The first steps of both sequences: the service, connected to the local machine as the
// current user, and its root folder. False after the failing step's line.
bool ConnectRootFolder(const TaskServiceFactory& create_service, std::FILE* errors,
                       ComPtr<ITaskService>* service, ComPtr<ITaskFolder>* root) {
  HRESULT hr = Obtained(create_service(service->put()), *service);
  if (Failed(hr, errors, "Failed to create Task Scheduler instance with HRESULT: 0x")) return false;
  const VARIANT empty = EmptyVariant();
  hr = (*service)->Connect(empty, empty, empty, empty);
  if (Failed(hr, errors, "Failed to connect to Task Scheduler service with HRESULT: 0x"))
    return false;
  UniqueBstr root_path(L"\\");
  hr = Obtained((*service)->GetFolder(root_path.get(), root->put()), *root);
  return !Failed(hr, errors, "Failed to get root folder with HRESULT: 0x");
}

// A trigger at any user's logon. False after the failing step's line.
bool AddLogonTrigger(ITaskDefinition* definition, std::FILE* errors) {
  ComPtr<ITriggerCollection> triggers;
  HRESULT hr = Obtained(definition->get_Triggers(triggers.put()), triggers);
  if (Failed(hr, errors, "Failed to get trigger collection with HRESULT: 0x")) return false;
  ComPtr<ITrigger> trigger;
  hr = Obtained(triggers->Create(TASK_TRIGGER_LOGON, trigger.put()), trigger);
  if (Failed(hr, errors, "Failed to create trigger with HRESULT: 0x")) return false;
  {
    // Only the trigger's identifier; with no user set it fires at any user's logon.
    UniqueBstr trigger_id(L"Administrator");
    hr = trigger->put_Id(trigger_id.get());
  }
  return !Failed(hr, errors, "Failed to set trigger ID with HRESULT: 0x");
}

// The task runs elevated, as the program needs. False after the failing step's line.
bool RunWithHighestPrivileges(ITaskDefinition* definition, std::FILE* errors) {
  ComPtr<IPrincipal> principal;
  HRESULT hr = Obtained(definition->get_Principal(principal.put()), principal);
  if (Failed(hr, errors, "Failed to get principal with HRESULT: 0x")) return false;
  hr = principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST);
  return !Failed(hr, errors, "Failed to set run level with HRESULT: 0x");
}

// The action: start the program beside the running one. False after the failing step's line.
bool AddProgramAction(ITaskDefinition* definition, std::FILE* errors) {
  ComPtr<IActionCollection> actions;
  HRESULT hr = Obtained(definition->get_Actions(actions.put()), actions);
  if (Failed(hr, errors, "Failed to get action collection with HRESULT: 0x")) return false;
  ComPtr<IAction> action;
  hr = Obtained(actions->Create(TASK_ACTION_EXEC, action.put()), action);
  if (Failed(hr, errors, "Failed to create action with HRESULT: 0x")) return false;
  ComPtr<IExecAction> exec;
  hr = Obtained(action->QueryInterface(IID_IExecAction, exec.put_void()), exec);
  if (Failed(hr, errors, "Failed to query exec action interface with HRESULT: 0x")) return false;
  {
    UniqueBstr program(StartupTaskProgramPath().c_str());
    hr = exec->put_Path(program.get());
  }
  return !Failed(hr, errors, "Failed to set executable path with HRESULT: 0x");
}

// Everything between CoInitialize and CoUninitialize: every interface is released on return,
// before the caller uninitialises COM.
int RegisterStartupTask(const TaskServiceFactory& create_service, std::FILE* errors) {
  ComPtr<ITaskService> service;
  ComPtr<ITaskFolder> root;
  if (!ConnectRootFolder(create_service, errors, &service, &root)) return kFailed;
  const VARIANT empty = EmptyVariant();
  ComPtr<ITaskDefinition> definition;
  HRESULT hr = Obtained(service->NewTask(0, definition.put()), definition);
  if (Failed(hr, errors, "Failed to create new task with HRESULT: 0x")) return kFailed;
  if (!AddLogonTrigger(definition.get(), errors) ||
      !RunWithHighestPrivileges(definition.get(), errors))
    return kFailed;
  ApplySettings(definition.get());
  if (!AddProgramAction(definition.get(), errors)) return kFailed;
  UniqueBstr task_name(kStartupTaskName);
  EmptyStringVariant no_security_descriptor;
  hr = root->RegisterTaskDefinition(task_name.get(), definition.get(), TASK_CREATE_OR_UPDATE, empty,
                                    empty, TASK_LOGON_INTERACTIVE_TOKEN,
                                    no_security_descriptor.get(), nullptr);
  Failed(hr, errors, "Failed to register task definition with HRESULT: 0x");
  return kRegistrationAttempted;
}

StartupTaskRemoval RemoveStartupTask(const TaskServiceFactory& create_service, std::FILE* errors) {
  ComPtr<ITaskService> service;
  ComPtr<ITaskFolder> root;
  if (!ConnectRootFolder(create_service, errors, &service, &root))
    return StartupTaskRemoval::kFailed;
  UniqueBstr task_name(kStartupTaskName);
  const HRESULT hr = root->DeleteTask(task_name.get(), 0);
  // No such task (never registered, as where the scheduler refused the logon trigger, or
  // removed already) is what the caller wants, not a failure.
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) return StartupTaskRemoval::kAbsent;
  if (Failed(hr, errors, "Failed to delete task with HRESULT: 0x"))
    return StartupTaskRemoval::kFailed;
  return StartupTaskRemoval::kRemoved;
}

}  // namespace

HRESULT CreateTaskSchedulerService(ITaskService** service) {
  return ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                            reinterpret_cast<void**>(service));
}

std::wstring StartupTaskProgramPath() { return GetProgramDirectory() + kStartupTaskProgram; }

int CreateStartupTask(const TaskServiceFactory& create_service, std::FILE* errors) {
  // S_FALSE (already initialised on this thread) is a success and is balanced below.
  const HRESULT hr = ::CoInitialize(nullptr);
  if (Failed(hr, errors, "CoInitialize failed with HRESULT: 0x")) return kFailed;
  const int result = RegisterStartupTask(create_service, errors);
  ::CoUninitialize();
  return result;
}

int CreateStartupTask() { return CreateStartupTask(CreateTaskSchedulerService, stderr); }

StartupTaskRemoval DeleteStartupTask(const TaskServiceFactory& create_service, std::FILE* errors) {
  const HRESULT hr = ::CoInitialize(nullptr);
  if (Failed(hr, errors, "CoInitialize failed with HRESULT: 0x"))
    return StartupTaskRemoval::kFailed;
  const StartupTaskRemoval result = RemoveStartupTask(create_service, errors);
  ::CoUninitialize();
  return result;
}

StartupTaskRemoval DeleteStartupTask() {
  return DeleteStartupTask(CreateTaskSchedulerService, stderr);
}

}  // namespace calorix
