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

void DeviceManager::CloseAll() {
  std::lock_guard<std::mutex> guard(lock_);
  if (open_ == 0) return;
  open_ = 0;
  for (auto& entry : devices_) {
    if (entry->handle) hid_close(entry->handle);
  }
  devices_.clear();
}

bool DeviceManager::Matches(const hid_device_info& info) const {
  for (const DeviceFilter& filter : filters_) {
    if (filter.vendor_id == info.vendor_id && filter.product_id == info.product_id) return true;
  }
  return false;
}

void DeviceManager::TryOpen(const hid_device_info& info) {
  hid_device* handle = hid_open_path(info.path);
  if (!handle) return;  // held exclusively elsewhere, or gone: skipped quietly
  if (info.usage_page != kDisplayUsagePage || info.usage != kDisplayUsage) {
    hid_close(handle);
    return;
  }
  auto entry = std::make_unique<DeviceEntry>();
  wchar_t name[kProductNameSize] = {};
  if (hid_get_product_string(handle, name, kProductNameSize) == 0) {
    name[kProductNameSize - 1] = 0;
    entry->product_name = name;
  }
  entry->index = static_cast<int>(devices_.size());
  entry->vendor_id = info.vendor_id;
  entry->product_id = info.product_id;
  entry->path = info.path ? info.path : "";
  entry->handle = handle;
  entry->release_number = info.release_number;
  devices_.push_back(std::move(entry));
}

void DeviceManager::OpenMatching() {
  hid_device_info* all = hid_enumerate(0, 0);
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (hid_device_info* info = all; info; info = info->next) {
      if (Matches(*info)) TryOpen(*info);
    }
  }
  hid_free_enumeration(all);
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
  std::lock_guard<std::mutex> guard(lock_);
  if (open_ == 0) return false;
  const auto wire = WithTrailingZero(report);
  for (auto& entry : devices_) {
    // A failing display keeps its error in hidapi; the others still get the report.
    if (entry->handle) hid_send_feature_report(entry->handle, wire.data(), wire.size());
  }
  return true;
}

bool DeviceManager::GetFirmwareVersion(int* version) {
  using std::chrono::milliseconds;
  std::lock_guard<std::mutex> guard(lock_);
  if (open_ == 0 || devices_.empty() || !devices_.front()->handle) return false;
  hid_device* handle = devices_.front()->handle;
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

int DeviceManager::DeviceCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int>(devices_.size());
}

bool DeviceManager::IsOpen() {
  std::lock_guard<std::mutex> guard(lock_);
  return open_ != 0;
}

}  // namespace calorix
