// The logon task registration against the recording scheduler, and against Wine's own.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/shell/folder_trust.h"
#include "app/system/startup_task.h"
#include "tests/doubles/task_scheduler_double.h"
#include "tests/win/server_test_support.h"
#include "tests/win/win_test_support.h"

namespace calorix {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int result = -1;
  std::string errors;
};

Outcome Register(task_double::Scheduler& scheduler) {
  test::CapturedFile errors;
  Outcome outcome;
  outcome.result = CreateStartupTask(
      [&](ITaskService** service) { return scheduler.CreateService(service); }, errors.file());
  outcome.errors = errors.Text();
  return outcome;
}

const std::vector<std::wstring> kFullSequence = {
    L"CoCreateInstance",
    L"ITaskService::Connect",
    L"ITaskService::GetFolder",
    L"ITaskService::NewTask",
    L"ITaskDefinition::get_Triggers",
    L"ITriggerCollection::Create",
    L"ITrigger::put_Id",
    L"ITaskDefinition::get_Principal",
    L"IPrincipal::put_RunLevel",
    L"ITaskDefinition::get_Settings",
    L"ITaskSettings::put_StopIfGoingOnBatteries",
    L"ITaskSettings::put_DisallowStartIfOnBatteries",
    L"ITaskSettings::put_AllowDemandStart",
    L"ITaskSettings::put_StartWhenAvailable",
    L"ITaskSettings::put_MultipleInstances",
    L"ITaskSettings::put_ExecutionTimeLimit",
    L"ITaskDefinition::get_Actions",
    L"IActionCollection::Create",
    L"IAction::QueryInterface",
    L"IExecAction::put_Path",
    L"ITaskFolder::RegisterTaskDefinition",
};

using Args = std::vector<std::wstring>;

void ExpectNoLeaks(const task_double::Scheduler& scheduler) {
  EXPECT_EQ(scheduler.OutstandingReferences(), 0);
  EXPECT_EQ(scheduler.AddRefs(), scheduler.Releases());
  EXPECT_EQ(scheduler.problems(), std::vector<std::wstring>{});
}

TEST(StartupTask, RegistersTheLogonTaskWithEveryValueInOrder) {
  task_double::Scheduler scheduler;
  const Outcome outcome = Register(scheduler);
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.errors, "");
  EXPECT_EQ(scheduler.CallNames(), kFullSequence);

  EXPECT_EQ(scheduler.ArgsOf(L"ITaskService::Connect"),
            (Args{L"VT_EMPTY", L"VT_EMPTY", L"VT_EMPTY", L"VT_EMPTY"}));
  EXPECT_EQ(scheduler.ArgsOf(L"ITaskService::GetFolder"), Args{L"\\"});
  EXPECT_EQ(scheduler.ArgsOf(L"ITaskService::NewTask"), Args{L"0"});
  EXPECT_EQ(scheduler.ArgsOf(L"ITriggerCollection::Create"), Args{L"9"});
  EXPECT_EQ(scheduler.ArgsOf(L"ITrigger::put_Id"), Args{L"Administrator"});
  EXPECT_EQ(scheduler.ArgsOf(L"IPrincipal::put_RunLevel"), Args{L"1"});
  // VARIANT_TRUE is -1, not 1.
  EXPECT_EQ(scheduler.ArgsOf(L"ITaskSettings::put_StopIfGoingOnBatteries"), Args{L"0"});
  EXPECT_EQ(scheduler.ArgsOf(L"ITaskSettings::put_DisallowStartIfOnBatteries"), Args{L"0"});
  EXPECT_EQ(scheduler.ArgsOf(L"ITaskSettings::put_AllowDemandStart"), Args{L"-1"});
  EXPECT_EQ(scheduler.ArgsOf(L"ITaskSettings::put_StartWhenAvailable"), Args{L"0"});
  EXPECT_EQ(scheduler.ArgsOf(L"ITaskSettings::put_MultipleInstances"), Args{L"0"});
  EXPECT_EQ(scheduler.ArgsOf(L"ITaskSettings::put_ExecutionTimeLimit"), Args{L"PT0S"});
  EXPECT_EQ(scheduler.ArgsOf(L"IActionCollection::Create"), Args{L"0"});
  EXPECT_EQ(scheduler.ArgsOf(L"IAction::QueryInterface"), Args{L"IExecAction"});
  // The test executable has another name; the task still starts "Calorix.exe" beside it.
  EXPECT_EQ(scheduler.ArgsOf(L"IExecAction::put_Path"),
            Args{test::ProgramFolder() + L"Calorix.exe"});
  EXPECT_EQ(scheduler.ArgsOf(L"ITaskFolder::RegisterTaskDefinition"),
            (Args{L"KEM StartupTask", L"definition", L"6", L"VT_EMPTY", L"VT_EMPTY", L"3",
                  L"VT_BSTR:", L"no output"}));
  ExpectNoLeaks(scheduler);
}

// An installed program's folder as Windows 10 leaves it under Program Files: TrustedInstaller,
// SYSTEM and the administrators in full, users and app packages read and execute, the
// creator owner's entry only for what is made inside.
constexpr wchar_t kInstalledFolder[] =
    L"O:BAD:(A;OICI;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
    L"(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)"
    L"(A;OICI;0x1200a9;;;AC)";

std::optional<ObjectSecurity> Installed(const std::wstring&) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kInstalledFolder, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
    return std::nullopt;
  std::optional<ObjectSecurity> security = DescribeSecurity(descriptor);
  ::LocalFree(descriptor);
  return security;
}

TEST(StartupTask, RegisteredOnlyForAProgramInFoldersNobodyElseCanChange) {
  // Everyone may change this folder: Wine makes it mode 777 and reads that back as an entry.
  const std::wstring folder = test::ProgramFolder() + test::UniqueName(L"users_may_write");
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  PSECURITY_DESCRIPTOR open = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  ::GetSecurityDescriptorDacl(open, &present, &list, &defaulted);
  EXPECT_EQ(::SetNamedSecurityInfoW(const_cast<LPWSTR>(folder.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, list, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  ::LocalFree(open);
  // Wine derives every folder's owner from its Unix owner, the user: only this folder's list
  // is read for real, the ones above as an installer leaves them.
  const SecurityReader real_here = [&](const std::wstring& path) {
    return path == folder ? ReadObjectSecurity(path) : Installed(path);
  };
  const std::string who = WhoElseCanChange(folder, real_here);
  EXPECT_NE(who.find("users_may_write_"), std::string::npos) << who;
  // The owner (the user, under Wine) first, then everyone.
  EXPECT_NE(who.find(std::string(", ") + kEveryoneSid), std::string::npos) << who;

  test::CapturedFile errors;
  task_double::Scheduler refused;
  EXPECT_FALSE(CreateStartupTaskIfTrusted(
      folder, real_here, [&](ITaskService** s) { return refused.CreateService(s); },
      errors.file()));
  EXPECT_TRUE(refused.calls().empty());  // the scheduler is not even asked
  task_double::Scheduler scheduler;
  EXPECT_TRUE(CreateStartupTaskIfTrusted(
      folder, Installed, [&](ITaskService** s) { return scheduler.CreateService(s); },
      errors.file()));
  EXPECT_EQ(scheduler.CallNames(), kFullSequence);
  EXPECT_EQ(errors.Text(), "");
  ExpectNoLeaks(scheduler);
  ::RemoveDirectoryW(folder.c_str());
}

struct FailingStep {
  const wchar_t* call;
  HRESULT hr;
  const char* line;  // expected text on the error stream
  int result;
};

// Each step fails with its own code, so a line with the wrong code shows.
const FailingStep kFailingSteps[] = {
    {L"CoCreateInstance", REGDB_E_CLASSNOTREG,
     "Failed to create Task Scheduler instance with HRESULT: 0x80040154\n", 1},
    {L"ITaskService::Connect", static_cast<HRESULT>(0x800706ba),
     "Failed to connect to Task Scheduler service with HRESULT: 0x800706ba\n", 1},
    {L"ITaskService::GetFolder", static_cast<HRESULT>(0x80070002),
     "Failed to get root folder with HRESULT: 0x80070002\n", 1},
    {L"ITaskService::NewTask", E_OUTOFMEMORY,
     "Failed to create new task with HRESULT: 0x8007000e\n", 1},
    {L"ITaskDefinition::get_Triggers", E_UNEXPECTED,
     "Failed to get trigger collection with HRESULT: 0x8000ffff\n", 1},
    {L"ITriggerCollection::Create", E_NOTIMPL,
     "Failed to create trigger with HRESULT: 0x80004001\n", 1},
    {L"ITrigger::put_Id", E_INVALIDARG, "Failed to set trigger ID with HRESULT: 0x80070057\n", 1},
    {L"ITaskDefinition::get_Principal", E_FAIL,
     "Failed to get principal with HRESULT: 0x80004005\n", 1},
    {L"IPrincipal::put_RunLevel", static_cast<HRESULT>(0x8004130f),
     "Failed to set run level with HRESULT: 0x8004130f\n", 1},
    {L"ITaskDefinition::get_Actions", static_cast<HRESULT>(0x8002000e),
     "Failed to get action collection with HRESULT: 0x8002000e\n", 1},
    {L"IActionCollection::Create", static_cast<HRESULT>(0x80041318),
     "Failed to create action with HRESULT: 0x80041318\n", 1},
    {L"IAction::QueryInterface", E_NOINTERFACE,
     "Failed to query exec action interface with HRESULT: 0x80004002\n", 1},
    {L"IExecAction::put_Path", static_cast<HRESULT>(0x800700ce),
     "Failed to set executable path with HRESULT: 0x800700ce\n", 1},
    {L"ITaskFolder::RegisterTaskDefinition", E_ACCESSDENIED,
     "Failed to register task definition with HRESULT: 0x80070005\n", 0},
};

TEST(StartupTask, EachFailingStepWritesItsLineReleasesEverythingAndStops) {
  for (const FailingStep& step : kFailingSteps) {
    SCOPED_TRACE(testing::Message() << "failing " << fs::path(step.call).string());
    task_double::Scheduler scheduler;
    scheduler.FailAt(step.call, step.hr);
    const Outcome outcome = Register(scheduler);
    EXPECT_EQ(outcome.result, step.result);
    EXPECT_EQ(outcome.errors, step.line);
    // Nothing is called after the failing step.
    const std::vector<std::wstring> names = scheduler.CallNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), step.call);
    const auto end = std::find(kFullSequence.begin(), kFullSequence.end(), step.call);
    EXPECT_EQ(names, std::vector<std::wstring>(kFullSequence.begin(), end + 1));
    ExpectNoLeaks(scheduler);
  }
}

TEST(StartupTask, SettingsFailuresAreIgnored) {
  // A failing setter, or no settings object at all, still registers the task quietly.
  for (const wchar_t* call :
       {L"ITaskSettings::put_StopIfGoingOnBatteries", L"ITaskSettings::put_ExecutionTimeLimit",
        L"ITaskDefinition::get_Settings"}) {
    SCOPED_TRACE(fs::path(call).string());
    task_double::Scheduler scheduler;
    scheduler.FailAt(call, E_FAIL);
    const Outcome outcome = Register(scheduler);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.errors, "");
    EXPECT_EQ(scheduler.CallNames().back(), L"ITaskFolder::RegisterTaskDefinition");
    ExpectNoLeaks(scheduler);  // also: no setter was called on a missing settings object
  }
}

TEST(StartupTask, SuccessWithoutAnInterfaceIsAFailure) {
  task_double::Scheduler scheduler;
  scheduler.NullAt(L"ITaskService::NewTask");
  const Outcome outcome = Register(scheduler);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(outcome.errors, "Failed to create new task with HRESULT: 0x80004003\n");
  EXPECT_EQ(scheduler.CallNames().back(), L"ITaskService::NewTask");
  ExpectNoLeaks(scheduler);
}

TEST(StartupTask, RemovalDeletesTheTaskAndTellsAbsentFromFailed) {
  const std::vector<std::wstring> sequence = {L"CoCreateInstance", L"ITaskService::Connect",
                                              L"ITaskService::GetFolder",
                                              L"ITaskFolder::DeleteTask"};
  const struct {
    const wchar_t* fail_at;
    HRESULT hr;
    StartupTaskRemoval result;
    const char* line;
  } cases[] = {
      {nullptr, S_OK, StartupTaskRemoval::kRemoved, ""},
      {L"ITaskFolder::DeleteTask", static_cast<HRESULT>(0x80070002), StartupTaskRemoval::kAbsent,
       ""},
      {L"ITaskFolder::DeleteTask", E_ACCESSDENIED, StartupTaskRemoval::kFailed,
       "Failed to delete task with HRESULT: 0x80070005\n"},
      {L"ITaskService::Connect", static_cast<HRESULT>(0x800706ba), StartupTaskRemoval::kFailed,
       "Failed to connect to Task Scheduler service with HRESULT: 0x800706ba\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    task_double::Scheduler scheduler;
    if (c.fail_at) scheduler.FailAt(c.fail_at, c.hr);
    test::CapturedFile errors;
    EXPECT_EQ(
        DeleteStartupTask([&](ITaskService** service) { return scheduler.CreateService(service); },
                          errors.file()),
        c.result);
    EXPECT_EQ(errors.Text(), c.line);
    const auto last =
        c.fail_at ? std::find(sequence.begin(), sequence.end(), c.fail_at) : sequence.end() - 1;
    EXPECT_EQ(scheduler.CallNames(), std::vector<std::wstring>(sequence.begin(), last + 1));
    if (!c.fail_at) {
      EXPECT_EQ(scheduler.ArgsOf(L"ITaskService::GetFolder"), Args{L"\\"});
      EXPECT_EQ(scheduler.ArgsOf(L"ITaskFolder::DeleteTask"), (Args{L"KEM StartupTask", L"0"}));
    }
    ExpectNoLeaks(scheduler);
  }
}

// Runs `body` on a new thread and waits for it.
template <class F>
void OnOwnThread(F body) {
  std::thread thread(body);
  thread.join();
}

TEST(StartupTask, ComIsInitialisedAndUninitialisedAroundTheSequence) {
  // A thread in the multithreaded apartment cannot enter a single-threaded one.
  OnOwnThread([] {
    ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    task_double::Scheduler scheduler;
    const Outcome outcome = Register(scheduler);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.errors, "CoInitialize failed with HRESULT: 0x80010106\n");
    EXPECT_TRUE(scheduler.calls().empty());
    // Still in the multithreaded apartment: no CoUninitialize went with the failure.
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
    ::CoUninitialize();
  });
  // COM already initialised: that counts as success, and the caller's apartment stays.
  OnOwnThread([] {
    ASSERT_EQ(::CoInitialize(nullptr), S_OK);
    task_double::Scheduler scheduler;
    EXPECT_EQ(Register(scheduler).result, 0);
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    ::CoUninitialize();
  });
  // COM not initialised before: it is not left initialised after.
  OnOwnThread([] {
    task_double::Scheduler scheduler;
    EXPECT_EQ(Register(scheduler).result, 0);
    EXPECT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    ::CoUninitialize();
  });
}

TEST(StartupTask, WinesSchedulerStopsAtTheLogonTrigger) {
  // Wine does not implement logon triggers; the line goes to the real standard error, a
  // text-mode stream whose end of line is CR LF.
  const test::Finished run = test::RunCaptured(
      test::Quote(test::ProgramFolder() + L"server_probe.exe") + L" startup-task", 60000);
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.err, "Failed to create trigger with HRESULT: 0x80004001\r\n");
}

}  // namespace
}  // namespace calorix
