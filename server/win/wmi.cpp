// Running a WQL query and reading its objects' properties.
#include "server/win/wmi.h"

#include "app/base/utf8_text.h"

namespace kalvaro {

namespace {

constexpr LONG kNextTimeoutMs = 2000;
constexpr std::size_t kMaxRows = 1024;

class UniqueVariant {
 public:
  UniqueVariant() { ::VariantInit(&v_); }
  ~UniqueVariant() { ::VariantClear(&v_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  VARIANT* get() { return &v_; }

 private:
  VARIANT v_;  // owned
};

WmiProperty PropertyOf(VARIANT* v) {
  WmiProperty p;
  if (V_VT(v) == VT_BSTR && V_BSTR(v)) {
    p.text = calorix::ToUtf8(std::wstring_view(V_BSTR(v), ::SysStringLen(V_BSTR(v))));
    return p;
  }
  UniqueVariant number;
  if (V_VT(v) != VT_NULL && V_VT(v) != VT_EMPTY &&
      SUCCEEDED(::VariantChangeType(number.get(), v, 0, VT_R8))) {
    p.number = V_R8(number.get());
  }
  return p;
}

}  // namespace

calorix::ComPtr<IWbemServices> ConnectSystemWmi(const wchar_t* ns) {
  // Once for the thread that looks (the server's only one): never undone, as the thread
  // keeps using WMI for its whole life. A thread already in another mode keeps it.
  static const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  (void)com;
  // Made once: a locator made anew for every look cost the server most of its time while no
  // monitor runs (under Wine eleven registry calls, against none for a connection or a query).
  static calorix::ComPtr<IWbemLocator> locator;
  if (!locator && FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IWbemLocator, locator.put_void()))) {
    return {};
  }
  calorix::ComPtr<IWbemServices> services;
  calorix::UniqueBstr name(ns);
  if (FAILED(locator->ConnectServer(name.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                    services.put()))) {
    return {};
  }
  // WMI answers only callers that let it impersonate them; in-process (as under Wine) there is
  // no proxy and nothing to set.
  ::CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                      RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  return services;
}

std::optional<std::vector<WmiRow>> WmiQuery(IWbemServices* services, const wchar_t* query,
                                            const std::vector<const wchar_t*>& properties) {
  if (!services) return std::nullopt;
  calorix::UniqueBstr language(L"WQL"), text(query);
  calorix::ComPtr<IEnumWbemClassObject> results;
  if (FAILED(services->ExecQuery(language.get(), text.get(),
                                 WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                 results.put())) ||
      !results) {
    return std::nullopt;
  }
  std::vector<WmiRow> rows;
  while (rows.size() < kMaxRows) {
    calorix::ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    const HRESULT hr = results->Next(kNextTimeoutMs, 1, object.put(), &returned);
    if (FAILED(hr)) return std::nullopt;
    if (returned == 0 || !object) break;  // the end, or a provider that stopped answering
    WmiRow row;
    for (const wchar_t* name : properties) {
      UniqueVariant value;
      row.push_back(SUCCEEDED(object->Get(name, 0, value.get(), nullptr, nullptr))
                        ? PropertyOf(value.get())
                        : WmiProperty{});
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace kalvaro
