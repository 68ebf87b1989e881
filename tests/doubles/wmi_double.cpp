// The three interfaces a query goes through; every method the server does not call fails.
#include "tests/doubles/wmi_double.h"

#include <cwctype>

namespace wmi_double {

namespace {

// Reference counting against the repository's count of outstanding references.
template <class Interface>
class Counted : public Interface {
 public:
  explicit Counted(Repository* repository) : repository_(repository) { ++repository_->outstanding; }
  virtual ~Counted() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (id != __uuidof(IUnknown) && id != __uuidof(Interface)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    ++repository_->outstanding;
    return ++refs_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    --repository_->outstanding;
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  Repository* repository_;  // not owned: outlives every object

 private:
  ULONG refs_ = 1;
};

#define NOT_CALLED(name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return E_NOTIMPL; }

class ClassObject : public Counted<IWbemClassObject> {
 public:
  ClassObject(Repository* r, Object object) : Counted(r), object_(std::move(object)) {}
  HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE*, LONG*) override {
    const auto found = object_.find(name);
    if (found == object_.end()) return WBEM_E_NOT_FOUND;
    ::VariantInit(value);
    if (const auto* text = std::get_if<std::wstring>(&found->second)) {
      V_VT(value) = VT_BSTR;
      V_BSTR(value) = ::SysAllocString(text->c_str());
    } else if (const auto* number = std::get_if<double>(&found->second)) {
      V_VT(value) = VT_R8;
      V_R8(value) = *number;
    } else {
      V_VT(value) = VT_NULL;
    }
    return S_OK;
  }
  NOT_CALLED(GetQualifierSet, IWbemQualifierSet**)
  NOT_CALLED(Put, LPCWSTR, LONG, VARIANT*, CIMTYPE)
  NOT_CALLED(Delete, LPCWSTR)
  NOT_CALLED(GetNames, LPCWSTR, LONG, VARIANT*, SAFEARRAY**)
  NOT_CALLED(BeginEnumeration, LONG)
  NOT_CALLED(Next, LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*)
  NOT_CALLED(EndEnumeration)
  NOT_CALLED(GetPropertyQualifierSet, LPCWSTR, IWbemQualifierSet**)
  NOT_CALLED(Clone, IWbemClassObject**)
  NOT_CALLED(GetObjectText, LONG, BSTR*)
  NOT_CALLED(SpawnDerivedClass, LONG, IWbemClassObject**)
  NOT_CALLED(SpawnInstance, LONG, IWbemClassObject**)
  NOT_CALLED(CompareTo, LONG, IWbemClassObject*)
  NOT_CALLED(GetPropertyOrigin, LPCWSTR, BSTR*)
  NOT_CALLED(InheritsFrom, LPCWSTR)
  NOT_CALLED(GetMethod, LPCWSTR, LONG, IWbemClassObject**, IWbemClassObject**)
  NOT_CALLED(PutMethod, LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*)
  NOT_CALLED(DeleteMethod, LPCWSTR)
  NOT_CALLED(BeginMethodEnumeration, LONG)
  NOT_CALLED(NextMethod, LONG, BSTR*, IWbemClassObject**, IWbemClassObject**)
  NOT_CALLED(EndMethodEnumeration)
  NOT_CALLED(GetMethodQualifierSet, LPCWSTR, IWbemQualifierSet**)
  NOT_CALLED(GetMethodOrigin, LPCWSTR, BSTR*)

 private:
  Object object_;
};

class Enumerator : public Counted<IEnumWbemClassObject> {
 public:
  Enumerator(Repository* r, std::vector<Object> objects)
      : Counted(r), objects_(std::move(objects)) {}
  HRESULT STDMETHODCALLTYPE Next(LONG, ULONG count, IWbemClassObject** out,
                                 ULONG* returned) override {
    *returned = 0;
    if (count != 1) return E_INVALIDARG;
    if (next_ == objects_.size()) return WBEM_S_FALSE;
    *out = new ClassObject(repository_, objects_[next_++]);
    *returned = 1;
    return WBEM_S_NO_ERROR;
  }
  NOT_CALLED(Reset)
  NOT_CALLED(NextAsync, ULONG, IWbemObjectSink*)
  NOT_CALLED(Clone, IEnumWbemClassObject**)
  NOT_CALLED(Skip, LONG, ULONG)

 private:
  std::vector<Object> objects_;
  std::size_t next_ = 0;
};

class Services : public Counted<IWbemServices> {
 public:
  Services(Repository* r, std::wstring ns) : Counted(r), ns_(std::move(ns)) {}
  HRESULT STDMETHODCALLTYPE ExecQuery(BSTR language, BSTR query, LONG, IWbemContext*,
                                      IEnumWbemClassObject** out) override {
    repository_->Record(query);
    if (std::wstring(language) != L"WQL") return WBEM_E_INVALID_QUERY_TYPE;
    *out = new Enumerator(repository_, repository_->Objects(ns_, query));
    return WBEM_S_NO_ERROR;
  }
  NOT_CALLED(OpenNamespace, const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**)
  NOT_CALLED(CancelAsyncCall, IWbemObjectSink*)
  NOT_CALLED(QueryObjectSink, LONG, IWbemObjectSink**)
  NOT_CALLED(GetObject, const BSTR, LONG, IWbemContext*, IWbemClassObject**, IWbemCallResult**)
  NOT_CALLED(GetObjectAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
  NOT_CALLED(PutClass, IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**)
  NOT_CALLED(PutClassAsync, IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*)
  NOT_CALLED(DeleteClass, const BSTR, LONG, IWbemContext*, IWbemCallResult**)
  NOT_CALLED(DeleteClassAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
  NOT_CALLED(CreateClassEnum, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
  NOT_CALLED(CreateClassEnumAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
  NOT_CALLED(PutInstance, IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult**)
  NOT_CALLED(PutInstanceAsync, IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*)
  NOT_CALLED(DeleteInstance, const BSTR, LONG, IWbemContext*, IWbemCallResult**)
  NOT_CALLED(DeleteInstanceAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
  NOT_CALLED(CreateInstanceEnum, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
  NOT_CALLED(CreateInstanceEnumAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
  NOT_CALLED(ExecQueryAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
  NOT_CALLED(ExecNotificationQuery, const BSTR, const BSTR, LONG, IWbemContext*,
             IEnumWbemClassObject**)
  NOT_CALLED(ExecNotificationQueryAsync, const BSTR, const BSTR, LONG, IWbemContext*,
             IWbemObjectSink*)
  NOT_CALLED(ExecMethod, const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
             IWbemClassObject**, IWbemCallResult**)
  NOT_CALLED(ExecMethodAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
             IWbemObjectSink*)

 private:
  std::wstring ns_;
};

#undef NOT_CALLED

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

}  // namespace

void Repository::Add(const std::wstring& ns, const std::wstring& class_name, Object object) {
  classes_[Upper(ns)][Upper(class_name)].push_back(std::move(object));
}

calorix::ComPtr<IWbemServices> Repository::Connect(const wchar_t* ns) {
  calorix::ComPtr<IWbemServices> services;
  if (classes_.count(Upper(ns))) *services.put() = new Services(this, Upper(ns));
  return services;
}

std::vector<Object> Repository::Objects(const std::wstring& ns, const std::wstring& query) const {
  const std::wstring upper = Upper(query);
  const auto from = upper.find(L" FROM ");
  const auto found = classes_.find(ns);
  if (from == std::wstring::npos || found == classes_.end()) return {};
  const std::wstring name = upper.substr(from + 6, upper.find(L' ', from + 6) - from - 6);
  const auto objects = found->second.find(name);
  return objects == found->second.end() ? std::vector<Object>{} : objects->second;
}

}  // namespace wmi_double
