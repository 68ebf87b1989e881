// Each monitor's data, read the way that monitor publishes it: shared memory, the registry,
// a web server on this machine, or WMI.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "server/core/sources.h"
#include "server/win/shared_section.h"
#include "server/win/wmi.h"

namespace kalvaro {

class MonitorReaders {
 public:
  explicit MonitorReaders(WmiConnect wmi = ConnectSystemWmi);

  void SetLhmPort(std::uint16_t port) { lhm_port_ = port; }

  // One look at a monitor; nothing when it does not run or publishes nothing readable.
  std::optional<Sample> Read(SourceId id);
  // Lets go of what a monitor's reader keeps open between looks.
  void Release(SourceId id);

 private:
  std::optional<Sample> ReadHwinfo();
  std::optional<Sample> ReadLhm();
  std::optional<Sample> ReadLhmWmi();
  std::optional<Sample> ReadAida64();
  std::optional<Sample> ReadCoreTemp();
  std::optional<Sample> ReadArgus();
  std::optional<Sample> ReadGadget();
  std::optional<Sample> ReadAcpi();
  // The services of namespace `ns`, connected once and kept while its queries succeed (on
  // Windows each connection is a call to the WMI service). Null while it does not exist.
  IWbemServices* Services(const wchar_t* ns);
  // After a failed query: the next look connects anew.
  void Forget(const wchar_t* ns) { services_.erase(ns); }

  WmiConnect wmi_;
  std::map<std::wstring, calorix::ComPtr<IWbemServices>> services_;
  std::uint16_t lhm_port_;
  SharedSection hwinfo_, aida64_, coretemp_, argus_;
  std::vector<std::uint8_t> copy_;  // the last section copied; reused to spare allocations
};

}  // namespace kalvaro
