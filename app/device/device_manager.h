// The process-wide list of open cooler displays, found and driven through hidapi.
#pragma once

#include <hidapi.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace calorix {

inline constexpr unsigned short kDisplayVendorId = 0x1A2C;
inline constexpr unsigned short kDisplayProductId = 0x444D;
inline constexpr unsigned short kDisplayUsagePage = 0xFF01;
inline constexpr unsigned short kDisplayUsage = 1;
inline constexpr std::size_t kProductNameSize = 512;

struct DeviceFilter {
  std::uint32_t vendor_id;
  std::uint32_t product_id;
};

struct DeviceEntry {
  int index = 0;
  unsigned short vendor_id = 0;
  unsigned short product_id = 0;
  std::string path;
  std::wstring product_name;
  hid_device* handle = nullptr;  // owned: closed by CloseAll
  int release_number = 0;
};

class DeviceManager {
 public:
  static DeviceManager& Instance();

  void ClearFilters();
  void AddFilter();
  void CloseAll();
  void OpenMatching();
  // Steps 1 to 4 of a device refresh; mapping the temperature block is the caller's.
  void RefreshDevices();
  bool WriteReport(const std::array<std::uint8_t, 64>& report);
  bool GetFirmwareVersion(int* version);
  int DeviceCount();
  bool IsOpen();

  DeviceManager(const DeviceManager&) = delete;
  DeviceManager& operator=(const DeviceManager&) = delete;

 private:
  DeviceManager();
  ~DeviceManager();
  friend struct std::default_delete<DeviceManager>;

  void TryOpen(const hid_device_info& info);
  bool Matches(const hid_device_info& info) const;

  std::mutex lock_;  // guards open_ and devices_ against the tray menu's DeviceCount
  int open_ = 0;
  std::vector<std::unique_ptr<DeviceEntry>> devices_;  // owned
  std::vector<DeviceFilter> filters_;                  // worker thread only
};

}  // namespace calorix
