// Finding, opening, writing to and closing the cooler display collections.
#include "app/device/device_manager.h"

#include <chrono>
#include <cwchar>
#include <thread>

#include "app/device/display_report.h"

namespace calorix {

DeviceManager& DeviceManager::Instance() {
  // Destroyed at process exit, after which no thread may use it.
  static std::unique_ptr<DeviceManager> instance(new DeviceManager());
  return *instance;
}

DeviceManager::DeviceManager() { hid_init(); }

DeviceManager::~DeviceManager() {
  CloseAll();
  hid_exit();
}

void DeviceManager::ClearFilters() { filters_.clear(); }

void DeviceManager::AddFilter() { filters_.push_back({kDisplayVendorId, kDisplayProductId}); }

DeviceEntry::~DeviceEntry() {
  if (handle) hid_close(handle);
}

DeviceManager::EntryList DeviceManager::TakeAll(bool only_if_open) {
  std::lock_guard<std::mutex> guard(lock_);
  EntryList taken;
  if (only_if_open && open_ == 0) return taken;
  open_ = 0;
  taken.swap(devices_);
  count_.store(0);
  return taken;
}

std::optional<DeviceManager::EntryList> DeviceManager::Snapshot() {
  std::lock_guard<std::mutex> guard(lock_);
  if (open_ == 0) return std::nullopt;
  return devices_;
}

// hid_close can wait on a stalled display, so the handles close after the lock is released.
void DeviceManager::CloseAll() { TakeAll(true); }

void DeviceManager::ResetForTesting() {
  TakeAll(false);
  filters_.clear();
}

bool DeviceManager::Matches(const hid_device_info& info) const {
  for (const DeviceFilter& filter : filters_) {
    if (filter.vendor_id == info.vendor_id && filter.product_id == info.product_id) return true;
  }
  return false;
}

std::shared_ptr<DeviceEntry> DeviceManager::TryOpen(const hid_device_info& info) {
  hid_device* handle = hid_open_path(info.path);
  if (!handle) return nullptr;  // held exclusively elsewhere, or gone: skipped quietly
  auto entry = std::make_shared<DeviceEntry>();
  entry->handle = handle;  // from here on the entry closes it
  if (info.usage_page != kDisplayUsagePage || info.usage != kDisplayUsage) return nullptr;
  wchar_t name[kProductNameSize] = {};
  if (hid_get_product_string(handle, name, kProductNameSize) == 0) {
    name[kProductNameSize - 1] = 0;
    entry->product_name = name;
  }
  entry->vendor_id = info.vendor_id;
  entry->product_id = info.product_id;
  entry->path = info.path ? info.path : "";
  entry->release_number = info.release_number;
  return entry;
}

// Opening and reading product strings can stall on a display, so the new entries are
// gathered without the lock, which is taken only to publish them with their count.
void DeviceManager::OpenMatching() {
  EntryList found;
  hid_device_info* all = hid_enumerate(0, 0);
  for (hid_device_info* info = all; info; info = info->next) {
    if (!Matches(*info)) continue;
    if (auto entry = TryOpen(*info)) found.push_back(std::move(entry));
  }
  hid_free_enumeration(all);
  std::lock_guard<std::mutex> guard(lock_);
  for (auto& entry : found) {
    entry->index = static_cast<int>(devices_.size());
    devices_.push_back(std::move(entry));
  }
  count_.store(static_cast<int>(devices_.size()));
}

void DeviceManager::RefreshDevices() {
  ClearFilters();
  AddFilter();
  CloseAll();
  OpenMatching();
  std::lock_guard<std::mutex> guard(lock_);
  open_ = 1;
}

bool DeviceManager::WriteReport(const std::array<std::uint8_t, 64>& report) {
  const std::optional<EntryList> entries = Snapshot();
  if (!entries) return false;
  const auto wire = WithTrailingZero(report);
  for (const auto& entry : *entries) {
    // A failing display keeps its error in hidapi; the others still get the report.
    if (entry->handle) hid_send_feature_report(entry->handle, wire.data(), wire.size());
  }
  return true;
}

bool DeviceManager::GetFirmwareVersion(int* version) { return GetFirmwareVersion(version, 0); }

bool DeviceManager::GetFirmwareVersion(int* version, std::size_t index) {
  using std::chrono::milliseconds;
  const std::optional<EntryList> entries = Snapshot();
  if (!entries || index >= entries->size() || !(*entries)[index]->handle) return false;
  hid_device* handle = (*entries)[index]->handle;  // the snapshot keeps it open meanwhile
  const auto request = BuildFirmwareVersionRequest();
  std::this_thread::sleep_for(milliseconds(16));
  if (hid_send_feature_report(handle, request.data(), request.size()) <= 0) return false;
  std::this_thread::sleep_for(milliseconds(16));
  auto reply = request;
  if (hid_get_feature_report(handle, reply.data(), reply.size()) < 0) return false;
  if (reply[0] != kReportId) {
    std::this_thread::sleep_for(milliseconds(16));
    reply = request;
    if (hid_get_feature_report(handle, reply.data(), reply.size()) < 0) return false;
  }
  *version = DecodeFirmwareVersion(reply);
  return true;
}

std::vector<DisplayInfo> DeviceManager::Displays() {
  std::vector<DisplayInfo> displays;
  if (const std::optional<EntryList> entries = Snapshot()) {
    for (const auto& e : *entries)
      displays.push_back({e->index, e->path, e->product_name, e->release_number});
  }
  return displays;
}

int DeviceManager::DeviceCount() const { return count_.load(); }

}  // namespace calorix
