// The process-wide list of open cooler displays, found and driven through hidapi.
#pragma once

#include <hidapi.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
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

// Closes its collection when the last holder lets go: a write in flight keeps the entry it
// is using alive, so a refresh never closes a handle under it.
struct DeviceEntry {
  DeviceEntry() = default;
  ~DeviceEntry();
  DeviceEntry(const DeviceEntry&) = delete;
  DeviceEntry& operator=(const DeviceEntry&) = delete;

  int index = 0;
  unsigned short vendor_id = 0;
  unsigned short product_id = 0;
  std::string path;
  std::wstring product_name;
  hid_device* handle = nullptr;  // owned: closed with the entry
  int release_number = 0;
};

// What a caller outside the manager may know of one open display.
struct DisplayInfo {
  int index = 0;
  std::string path;
  std::wstring product_name;
  int release_number = 0;
};

// The list lock is held only to publish, count or copy the list, never across device I/O,
// so the main thread's DeviceCount never waits on a stalled display. Device I/O itself runs
// on the worker only.
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
  // The same exchange with the display at `index` in the list (GetFirmwareVersion asks the
  // first).
  bool GetFirmwareVersion(int* version, std::size_t index);
  // The open displays in list order; empty while the manager is not open.
  std::vector<DisplayInfo> Displays();
  // The number of entries as last published under the lock; read without taking it.
  int DeviceCount() const;

  // Tests only: closes every entry and forgets the filters and the open state, so that a
  // test starts from a fresh manager whatever ran before it in the same process.
  void ResetForTesting();

  DeviceManager(const DeviceManager&) = delete;
  DeviceManager& operator=(const DeviceManager&) = delete;

 private:
  DeviceManager();
  ~DeviceManager();
  friend struct std::default_delete<DeviceManager>;

  using EntryList = std::vector<std::shared_ptr<DeviceEntry>>;

  static std::shared_ptr<DeviceEntry> TryOpen(const hid_device_info& info);
  bool Matches(const hid_device_info& info) const;
  // Empties the list and clears open under the lock (when `only_if_open`, only while open);
  // the entries close as the caller drops the result, outside the lock.
  EntryList TakeAll(bool only_if_open);
  // A copy of the list taken under the lock, or nothing while the manager is not open.
  std::optional<EntryList> Snapshot();

  std::mutex lock_;  // guards open_ and devices_; never held across device I/O
  int open_ = 0;
  EntryList devices_;                  // owned (shared with writes in flight)
  std::atomic<int> count_{0};          // devices_.size(), stored under lock_ with every change
  std::vector<DeviceFilter> filters_;  // worker thread only
};

}  // namespace calorix
