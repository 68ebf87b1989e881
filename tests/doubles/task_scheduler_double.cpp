// The recording Task Scheduler objects: service, folder, definition, triggers, principal,
// settings, actions.
#include "tests/doubles/task_scheduler_double.h"

// The double defines the ids it answers to itself; mingw-w64's uuid library lacks them.
#include <initguid.h>
#include <taskschd.h>

#include <cwchar>
#include <initializer_list>

#include "app/system/logon_trigger.h"

namespace task_double {
namespace {

std::wstring IidName(REFIID iid) {
  static const struct {
    const IID* iid;
    const wchar_t* name;
  } known[] = {
      {&IID_IUnknown, L"IUnknown"},
      {&IID_IDispatch, L"IDispatch"},
      {&IID_ITaskService, L"ITaskService"},
      {&IID_ITaskFolder, L"ITaskFolder"},
      {&IID_ITaskDefinition, L"ITaskDefinition"},
      {&IID_ITriggerCollection, L"ITriggerCollection"},
      {&IID_ITrigger, L"ITrigger"},
      {&IID_ILogonTrigger, L"ILogonTrigger"},
      {&IID_IPrincipal, L"IPrincipal"},
      {&IID_ITaskSettings, L"ITaskSettings"},
      {&IID_IActionCollection, L"IActionCollection"},
      {&IID_IAction, L"IAction"},
      {&IID_IExecAction, L"IExecAction"},
  };
  for (const auto& k : known) {
    if (::IsEqualIID(iid, *k.iid)) return k.name;
  }
  wchar_t text[40] = {};
  ::StringFromGUID2(iid, text, 40);
  return text;
}

std::wstring Number(long long n) { return std::to_wstring(n); }

// The fake object for interface `I`, answering QueryInterface for IUnknown, IDispatch and
// the interfaces in `answers`.
template <class I>
class Fake : public I, public Object {
 public:
  Fake(Scheduler* scheduler, const wchar_t* name, std::initializer_list<const IID*> answers)
      : Object(scheduler, name), answers_(answers) {}
  const void* identity() const override { return static_cast<const I*>(this); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    HRESULT hr = S_OK;
    const auto outcome = scheduler_->Record(
        *this, std::wstring(interface_name_) + L"::QueryInterface", {IidName(iid)}, &hr);
    if (outcome == Scheduler::Outcome::kFail) return hr;
    if (outcome == Scheduler::Outcome::kNull) return S_OK;
    if (!Answers(iid)) return E_NOINTERFACE;
    Acquire();
    *out = static_cast<I*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Acquire(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return No(L"GetTypeInfoCount"); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    return No(L"GetTypeInfo");
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return No(L"GetIDsOfNames");
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return No(L"Invoke");
  }

 protected:
  HRESULT No(const wchar_t* method) {
    return scheduler_->Unexpected(*this, std::wstring(interface_name_) + L"::" + method);
  }
  // Records a call that returns nothing through an out parameter.
  HRESULT Plain(const wchar_t* name, std::vector<std::wstring> args) {
    HRESULT hr = S_OK;
    scheduler_->Record(*this, name, std::move(args), &hr);
    return hr;
  }
  // Records a call that hands out `object` through `out`, unless the script says otherwise.
  template <class Out>
  HRESULT HandOut(const wchar_t* name, std::vector<std::wstring> args, Out* object, Out** out) {
    if (!out) {
      scheduler_->Problem(std::wstring(name) + L": null out parameter");
      return E_POINTER;
    }
    *out = nullptr;
    HRESULT hr = S_OK;
    const auto outcome = scheduler_->Record(*this, name, std::move(args), &hr);
    if (outcome != Scheduler::Outcome::kSucceed) return hr;
    object->AddRef();
    *out = object;
    return S_OK;
  }

 private:
  bool Answers(REFIID iid) const {
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch)) return true;
    for (const IID* answer : answers_) {
      if (::IsEqualIID(iid, *answer)) return true;
    }
    return false;
  }
  std::vector<const IID*> answers_;
};

#define NO_CALL(Method, ...) \
  HRESULT STDMETHODCALLTYPE Method(__VA_ARGS__) override { return No(L"" #Method); }

class ExecAction final : public Fake<IExecAction> {
 public:
  explicit ExecAction(Scheduler* s) : Fake(s, L"IAction", {&IID_IAction, &IID_IExecAction}) {}
  NO_CALL(get_Id, BSTR*)
  NO_CALL(put_Id, BSTR)
  NO_CALL(get_Type, TASK_ACTION_TYPE*)
  NO_CALL(get_Path, BSTR*)
  HRESULT STDMETHODCALLTYPE put_Path(BSTR path) override {
    return Plain(L"IExecAction::put_Path", {BstrText(path)});
  }
  NO_CALL(get_Arguments, BSTR*)
  NO_CALL(put_Arguments, BSTR)
  NO_CALL(get_WorkingDirectory, BSTR*)
  NO_CALL(put_WorkingDirectory, BSTR)
};

class Actions final : public Fake<IActionCollection> {
 public:
  explicit Actions(Scheduler* s) : Fake(s, L"IActionCollection", {&IID_IActionCollection}) {}
  NO_CALL(get_Count, LONG*)
  NO_CALL(get_Item, LONG, IAction**)
  NO_CALL(get__NewEnum, IUnknown**)
  NO_CALL(get_XmlText, BSTR*)
  NO_CALL(put_XmlText, BSTR)
  HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE type, IAction** action) override {
    if (type != TASK_ACTION_EXEC) {
      scheduler_->Problem(L"IActionCollection::Create: only executable actions are modelled");
      return E_NOTIMPL;
    }
    return HandOut<IAction>(L"IActionCollection::Create", {Number(type)},
                            scheduler_->Make<ExecAction>(), action);
  }
  NO_CALL(Remove, VARIANT)
  NO_CALL(Clear)
  NO_CALL(get_Context, BSTR*)
  NO_CALL(put_Context, BSTR)
};

class LogonTrigger final : public Fake<ILogonTrigger> {
 public:
  explicit LogonTrigger(Scheduler* s) : Fake(s, L"ITrigger", {&IID_ITrigger, &IID_ILogonTrigger}) {}
  NO_CALL(get_Type, TASK_TRIGGER_TYPE2*)
  NO_CALL(get_Id, BSTR*)
  HRESULT STDMETHODCALLTYPE put_Id(BSTR id) override {
    return Plain(L"ITrigger::put_Id", {BstrText(id)});
  }
  NO_CALL(get_Repetition, IRepetitionPattern**)
  NO_CALL(put_Repetition, IRepetitionPattern*)
  NO_CALL(get_ExecutionTimeLimit, BSTR*)
  NO_CALL(put_ExecutionTimeLimit, BSTR)
  NO_CALL(get_StartBoundary, BSTR*)
  NO_CALL(put_StartBoundary, BSTR)
  NO_CALL(get_EndBoundary, BSTR*)
  NO_CALL(put_EndBoundary, BSTR)
  NO_CALL(get_Enabled, VARIANT_BOOL*)
  NO_CALL(put_Enabled, VARIANT_BOOL)
  NO_CALL(get_Delay, BSTR*)
  NO_CALL(put_Delay, BSTR)
  NO_CALL(get_UserId, BSTR*)
  NO_CALL(put_UserId, BSTR)
};

class Triggers final : public Fake<ITriggerCollection> {
 public:
  explicit Triggers(Scheduler* s) : Fake(s, L"ITriggerCollection", {&IID_ITriggerCollection}) {}
  NO_CALL(get_Count, LONG*)
  NO_CALL(get_Item, LONG, ITrigger**)
  NO_CALL(get__NewEnum, IUnknown**)
  HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type, ITrigger** trigger) override {
    if (type != TASK_TRIGGER_LOGON) {
      scheduler_->Problem(L"ITriggerCollection::Create: only logon triggers are modelled");
      return E_NOTIMPL;
    }
    return HandOut<ITrigger>(L"ITriggerCollection::Create", {Number(type)},
                             scheduler_->Make<LogonTrigger>(), trigger);
  }
  NO_CALL(Remove, VARIANT)
  NO_CALL(Clear)
};

class Principal final : public Fake<IPrincipal> {
 public:
  explicit Principal(Scheduler* s) : Fake(s, L"IPrincipal", {&IID_IPrincipal}) {}
  NO_CALL(get_Id, BSTR*)
  NO_CALL(put_Id, BSTR)
  NO_CALL(get_DisplayName, BSTR*)
  NO_CALL(put_DisplayName, BSTR)
  NO_CALL(get_UserId, BSTR*)
  NO_CALL(put_UserId, BSTR)
  NO_CALL(get_LogonType, TASK_LOGON_TYPE*)
  NO_CALL(put_LogonType, TASK_LOGON_TYPE)
  NO_CALL(get_GroupId, BSTR*)
  NO_CALL(put_GroupId, BSTR)
  NO_CALL(get_RunLevel, TASK_RUNLEVEL_TYPE*)
  HRESULT STDMETHODCALLTYPE put_RunLevel(TASK_RUNLEVEL_TYPE level) override {
    return Plain(L"IPrincipal::put_RunLevel", {Number(level)});
  }
};

class Settings final : public Fake<ITaskSettings> {
 public:
  explicit Settings(Scheduler* s) : Fake(s, L"ITaskSettings", {&IID_ITaskSettings}) {}
  NO_CALL(get_AllowDemandStart, VARIANT_BOOL*)
  HRESULT STDMETHODCALLTYPE put_AllowDemandStart(VARIANT_BOOL v) override {
    return Plain(L"ITaskSettings::put_AllowDemandStart", {Number(v)});
  }
  NO_CALL(get_RestartInterval, BSTR*)
  NO_CALL(put_RestartInterval, BSTR)
  NO_CALL(get_RestartCount, INT*)
  NO_CALL(put_RestartCount, INT)
  NO_CALL(get_MultipleInstances, TASK_INSTANCES_POLICY*)
  HRESULT STDMETHODCALLTYPE put_MultipleInstances(TASK_INSTANCES_POLICY v) override {
    return Plain(L"ITaskSettings::put_MultipleInstances", {Number(v)});
  }
  NO_CALL(get_StopIfGoingOnBatteries, VARIANT_BOOL*)
  HRESULT STDMETHODCALLTYPE put_StopIfGoingOnBatteries(VARIANT_BOOL v) override {
    return Plain(L"ITaskSettings::put_StopIfGoingOnBatteries", {Number(v)});
  }
  NO_CALL(get_DisallowStartIfOnBatteries, VARIANT_BOOL*)
  HRESULT STDMETHODCALLTYPE put_DisallowStartIfOnBatteries(VARIANT_BOOL v) override {
    return Plain(L"ITaskSettings::put_DisallowStartIfOnBatteries", {Number(v)});
  }
  NO_CALL(get_AllowHardTerminate, VARIANT_BOOL*)
  NO_CALL(put_AllowHardTerminate, VARIANT_BOOL)
  NO_CALL(get_StartWhenAvailable, VARIANT_BOOL*)
  HRESULT STDMETHODCALLTYPE put_StartWhenAvailable(VARIANT_BOOL v) override {
    return Plain(L"ITaskSettings::put_StartWhenAvailable", {Number(v)});
  }
  NO_CALL(get_XmlText, BSTR*)
  NO_CALL(put_XmlText, BSTR)
  NO_CALL(get_RunOnlyIfNetworkAvailable, VARIANT_BOOL*)
  NO_CALL(put_RunOnlyIfNetworkAvailable, VARIANT_BOOL)
  NO_CALL(get_ExecutionTimeLimit, BSTR*)
  HRESULT STDMETHODCALLTYPE put_ExecutionTimeLimit(BSTR v) override {
    return Plain(L"ITaskSettings::put_ExecutionTimeLimit", {BstrText(v)});
  }
  NO_CALL(get_Enabled, VARIANT_BOOL*)
  NO_CALL(put_Enabled, VARIANT_BOOL)
  NO_CALL(get_DeleteExpiredTaskAfter, BSTR*)
  NO_CALL(put_DeleteExpiredTaskAfter, BSTR)
  NO_CALL(get_Priority, INT*)
  NO_CALL(put_Priority, INT)
  NO_CALL(get_Compatibility, TASK_COMPATIBILITY*)
  NO_CALL(put_Compatibility, TASK_COMPATIBILITY)
  NO_CALL(get_Hidden, VARIANT_BOOL*)
  NO_CALL(put_Hidden, VARIANT_BOOL)
  NO_CALL(get_IdleSettings, IIdleSettings**)
  NO_CALL(put_IdleSettings, IIdleSettings*)
  NO_CALL(get_RunOnlyIfIdle, VARIANT_BOOL*)
  NO_CALL(put_RunOnlyIfIdle, VARIANT_BOOL)
  NO_CALL(get_WakeToRun, VARIANT_BOOL*)
  NO_CALL(put_WakeToRun, VARIANT_BOOL)
  NO_CALL(get_NetworkSettings, INetworkSettings**)
  NO_CALL(put_NetworkSettings, INetworkSettings*)
};

class Definition final : public Fake<ITaskDefinition> {
 public:
  explicit Definition(Scheduler* s)
      : Fake(s, L"ITaskDefinition", {&IID_ITaskDefinition}),
        triggers_(s->Make<Triggers>()),
        principal_(s->Make<Principal>()),
        settings_(s->Make<Settings>()),
        actions_(s->Make<Actions>()) {}
  NO_CALL(get_RegistrationInfo, IRegistrationInfo**)
  NO_CALL(put_RegistrationInfo, IRegistrationInfo*)
  HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection** out) override {
    return HandOut<ITriggerCollection>(L"ITaskDefinition::get_Triggers", {}, triggers_, out);
  }
  NO_CALL(put_Triggers, ITriggerCollection*)
  HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings** out) override {
    return HandOut<ITaskSettings>(L"ITaskDefinition::get_Settings", {}, settings_, out);
  }
  NO_CALL(put_Settings, ITaskSettings*)
  NO_CALL(get_Data, BSTR*)
  NO_CALL(put_Data, BSTR)
  HRESULT STDMETHODCALLTYPE get_Principal(IPrincipal** out) override {
    return HandOut<IPrincipal>(L"ITaskDefinition::get_Principal", {}, principal_, out);
  }
  NO_CALL(put_Principal, IPrincipal*)
  HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** out) override {
    return HandOut<IActionCollection>(L"ITaskDefinition::get_Actions", {}, actions_, out);
  }
  NO_CALL(put_Actions, IActionCollection*)
  NO_CALL(get_XmlText, BSTR*)
  NO_CALL(put_XmlText, BSTR)

 private:
  // not owned: the scheduler owns every object
  Triggers* triggers_;
  Principal* principal_;
  Settings* settings_;
  Actions* actions_;
};

class Folder final : public Fake<ITaskFolder> {
 public:
  explicit Folder(Scheduler* s) : Fake(s, L"ITaskFolder", {&IID_ITaskFolder}) {}
  NO_CALL(get_Name, BSTR*)
  NO_CALL(get_Path, BSTR*)
  NO_CALL(GetFolder, BSTR, ITaskFolder**)
  NO_CALL(GetFolders, LONG, ITaskFolderCollection**)
  NO_CALL(CreateFolder, BSTR, VARIANT, ITaskFolder**)
  NO_CALL(DeleteFolder, BSTR, LONG)
  NO_CALL(GetTask, BSTR, IRegisteredTask**)
  NO_CALL(GetTasks, LONG, IRegisteredTaskCollection**)
  HRESULT STDMETHODCALLTYPE DeleteTask(BSTR name, LONG flags) override {
    return Plain(L"ITaskFolder::DeleteTask", {BstrText(name), Number(flags)});
  }
  NO_CALL(RegisterTask, BSTR, BSTR, LONG, VARIANT, VARIANT, TASK_LOGON_TYPE, VARIANT,
          IRegisteredTask**)
  HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR path, ITaskDefinition* definition,
                                                   LONG flags, VARIANT user, VARIANT password,
                                                   TASK_LOGON_TYPE logon, VARIANT sddl,
                                                   IRegisteredTask** task) override {
    if (task) *task = nullptr;  // registered tasks are not modelled
    return Plain(L"ITaskFolder::RegisterTaskDefinition",
                 {BstrText(path), scheduler_->Owns(definition) ? L"definition" : L"foreign",
                  Number(flags), VariantText(user), VariantText(password), Number(logon),
                  VariantText(sddl), task ? L"output" : L"no output"});
  }
  NO_CALL(GetSecurityDescriptor, LONG, BSTR*)
  NO_CALL(SetSecurityDescriptor, BSTR, LONG)
};

class Service final : public Fake<ITaskService> {
 public:
  explicit Service(Scheduler* s) : Fake(s, L"ITaskService", {&IID_ITaskService}) {}
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** folder) override {
    return HandOut<ITaskFolder>(L"ITaskService::GetFolder", {BstrText(path)},
                                scheduler_->Make<Folder>(), folder);
  }
  NO_CALL(GetRunningTasks, LONG, IRunningTaskCollection**)
  HRESULT STDMETHODCALLTYPE NewTask(DWORD flags, ITaskDefinition** definition) override {
    return HandOut<ITaskDefinition>(L"ITaskService::NewTask", {Number(flags)},
                                    scheduler_->Make<Definition>(), definition);
  }
  HRESULT STDMETHODCALLTYPE Connect(VARIANT server, VARIANT user, VARIANT domain,
                                    VARIANT password) override {
    return Plain(L"ITaskService::Connect", {VariantText(server), VariantText(user),
                                            VariantText(domain), VariantText(password)});
  }
  NO_CALL(get_Connected, VARIANT_BOOL*)
  NO_CALL(get_TargetServer, BSTR*)
  NO_CALL(get_ConnectedUser, BSTR*)
  NO_CALL(get_ConnectedDomain, BSTR*)
  NO_CALL(get_HighestVersion, DWORD*)
};

#undef NO_CALL

}  // namespace

ULONG Object::Acquire() {
  scheduler_->CountAddRef();
  return static_cast<ULONG>(++references_);
}

ULONG Object::Drop() {
  scheduler_->CountRelease();
  if (references_ == 0) {
    scheduler_->Problem(std::wstring(interface_name_) + L"::Release without a reference");
    return 0;
  }
  return static_cast<ULONG>(--references_);
}

std::wstring BstrText(BSTR text) {
  if (!text) return L"<null>";
  std::wstring s(text);
  // A BSTR carries its length in front; a plain string passed as one does not.
  if (::SysStringLen(text) != s.size()) s += L"<not a BSTR>";
  return s;
}

std::wstring VariantText(const VARIANT& v) {
  if (v.vt == VT_EMPTY) return L"VT_EMPTY";
  if (v.vt == VT_BSTR) return L"VT_BSTR:" + BstrText(v.bstrVal);
  return L"vt=" + Number(v.vt);
}

Scheduler::Scheduler() = default;
Scheduler::~Scheduler() = default;

HRESULT Scheduler::CreateService(ITaskService** service) {
  *service = nullptr;
  calls_.push_back({L"CoCreateInstance", {}});
  if (auto it = failures_.find(L"CoCreateInstance"); it != failures_.end()) {
    const HRESULT hr = it->second;
    failures_.erase(it);
    return hr;
  }
  Service* created = Make<Service>();
  created->AddRef();
  *service = created;
  return S_OK;
}

void Scheduler::FailAt(const std::wstring& name, HRESULT hr) { failures_[name] = hr; }
void Scheduler::NullAt(const std::wstring& name) { nulls_.push_back(name); }

std::vector<std::wstring> Scheduler::CallNames() const {
  std::vector<std::wstring> names;
  for (const Call& call : calls_) names.push_back(call.name);
  return names;
}

std::vector<std::wstring> Scheduler::ArgsOf(const std::wstring& name) const {
  for (const Call& call : calls_) {
    if (call.name == name) return call.args;
  }
  return {};
}

long Scheduler::OutstandingReferences() const {
  long total = 0;
  for (const auto& object : objects_) total += object->references();
  return total;
}

bool Scheduler::Owns(const void* object) const {
  for (const auto& o : objects_) {
    if (o->identity() == object && std::wstring(o->interface_name()) == L"ITaskDefinition")
      return true;
  }
  return false;
}

Scheduler::Outcome Scheduler::Record(const Object& object, const std::wstring& name,
                                     std::vector<std::wstring> args, HRESULT* hr) {
  if (object.references() == 0) Problem(name + L" called through a released reference");
  calls_.push_back({name, std::move(args)});
  if (auto it = failures_.find(name); it != failures_.end()) {
    *hr = it->second;
    failures_.erase(it);
    return Outcome::kFail;
  }
  for (auto it = nulls_.begin(); it != nulls_.end(); ++it) {
    if (*it == name) {
      nulls_.erase(it);
      *hr = S_OK;
      return Outcome::kNull;
    }
  }
  *hr = S_OK;
  return Outcome::kSucceed;
}

HRESULT Scheduler::Unexpected(const Object& object, const std::wstring& name) {
  calls_.push_back({name, {}});
  Problem(L"unexpected call " + name);
  (void)object;
  return E_NOTIMPL;
}

}  // namespace task_double
