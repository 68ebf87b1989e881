// A scripted stand-in for the Task Scheduler 2.0 COM objects that records every call.
#pragma once

#include <windows.h>
#include <taskschd.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace task_double {

struct Call {
  std::wstring name;               // "Interface::Method", e.g. L"ITaskService::Connect"
  std::vector<std::wstring> args;  // the arguments as text, in order
};

class Object;

// One fake scheduler: the service and every object reached from it. Objects stay allocated
// until the scheduler goes away, so calls through a released reference are caught and
// reported instead of crashing.
class Scheduler {
 public:
  Scheduler();
  ~Scheduler();
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  // Stands in for CoCreateInstance of the service; recorded as "CoCreateInstance".
  HRESULT CreateService(ITaskService** service);

  // The first call named `name` fails with `hr` and hands out no interface.
  void FailAt(const std::wstring& name, HRESULT hr);
  // The first call named `name` claims success but hands out a null interface.
  void NullAt(const std::wstring& name);

  const std::vector<Call>& calls() const { return calls_; }
  std::vector<std::wstring> CallNames() const;
  // The arguments of the first call named `name`; empty when there was none.
  std::vector<std::wstring> ArgsOf(const std::wstring& name) const;
  // References still held by the code under test, summed over all objects.
  long OutstandingReferences() const;
  long AddRefs() const { return add_refs_; }
  long Releases() const { return releases_; }
  // Unexpected calls, over-releases, calls through released references.
  const std::vector<std::wstring>& problems() const { return problems_; }

  // Bookkeeping for the objects.
  enum class Outcome { kSucceed, kFail, kNull };
  Outcome Record(const Object& object, const std::wstring& name, std::vector<std::wstring> args,
                 HRESULT* hr);
  HRESULT Unexpected(const Object& object, const std::wstring& name);
  void Problem(const std::wstring& text) { problems_.push_back(text); }
  void CountAddRef() { ++add_refs_; }
  void CountRelease() { ++releases_; }
  template <class T, class... A>
  T* Make(A&&... a) {
    auto object = std::make_unique<T>(this, std::forward<A>(a)...);
    T* raw = object.get();
    objects_.push_back(std::move(object));
    return raw;
  }
  // Whether `definition` is a task definition this scheduler handed out.
  bool Owns(const void* object) const;

 private:
  std::vector<std::unique_ptr<Object>> objects_;  // owned: every object ever created
  std::vector<Call> calls_;
  std::map<std::wstring, HRESULT> failures_;
  std::vector<std::wstring> nulls_;
  std::vector<std::wstring> problems_;
  long add_refs_ = 0;
  long releases_ = 0;
};

// Reference counting shared by the fake objects.
class Object {
 public:
  Object(Scheduler* scheduler, const wchar_t* interface_name)
      : scheduler_(scheduler), interface_name_(interface_name) {}
  virtual ~Object() = default;
  long references() const { return references_; }
  const wchar_t* interface_name() const { return interface_name_; }
  virtual const void* identity() const = 0;

 protected:
  ULONG Acquire();
  ULONG Drop();
  Scheduler* scheduler_;  // not owned: the scheduler owns this object
  const wchar_t* interface_name_;

 private:
  long references_ = 0;
};

// Text of a BSTR argument, marking null and strings not allocated as BSTR.
std::wstring BstrText(BSTR text);
// "VT_EMPTY", or "VT_BSTR:<text>", or "vt=<n>".
std::wstring VariantText(const VARIANT& v);

}  // namespace task_double
