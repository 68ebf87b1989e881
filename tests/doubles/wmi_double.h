// A scripted stand-in for the WMI objects the server queries: namespaces whose classes hold
// the objects a query returns.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <map>
#include <string>
#include <variant>
#include <vector>

#include "app/base/com_ptr.h"

namespace wmi_double {

using Value = std::variant<std::wstring, double, std::monostate>;  // monostate: VT_NULL
using Object = std::map<std::wstring, Value>;

class Repository {
 public:
  void Add(const std::wstring& ns, const std::wstring& class_name, Object object);
  // Stands in for connecting to namespace `ns`: null for a namespace that holds nothing.
  calorix::ComPtr<IWbemServices> Connect(const wchar_t* ns);

  const std::vector<std::wstring>& queries() const { return queries_; }
  void Record(std::wstring query) { queries_.push_back(std::move(query)); }
  // What a query "SELECT ... FROM <class> ..." returns in `ns`.
  std::vector<Object> Objects(const std::wstring& ns, const std::wstring& query) const;
  // References the code under test still holds.
  long outstanding = 0;

 private:
  std::map<std::wstring, std::map<std::wstring, std::vector<Object>>> classes_;
  std::vector<std::wstring> queries_;
};

}  // namespace wmi_double
