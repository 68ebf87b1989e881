// WMI queries through the COM interfaces the server uses: a locator's services, a query's
// enumerator and its objects' properties.
#pragma once

#include <windows.h>
#include <wbemcli.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/base/com_ptr.h"

namespace kalvaro {

// The services of namespace `ns` ("ROOT\\WMI"), or null when it does not exist or WMI cannot
// be reached. Tests put a double of the interfaces in its place.
using WmiConnect = std::function<calorix::ComPtr<IWbemServices>(const wchar_t* ns)>;

// The system's WMI, with COM started on the calling thread when it is not yet. One thread
// only: the server's, or the diagnostic tool's.
calorix::ComPtr<IWbemServices> ConnectSystemWmi(const wchar_t* ns);

struct WmiProperty {
  std::string text;              // strings, as UTF-8
  std::optional<double> number;  // numbers of any type
};
using WmiRow = std::vector<WmiProperty>;  // in the order of the properties asked for

// The named properties of every object the WQL query returns; nothing when the query fails.
std::optional<std::vector<WmiRow>> WmiQuery(IWbemServices* services, const wchar_t* query,
                                            const std::vector<const wchar_t*>& properties);

}  // namespace kalvaro
