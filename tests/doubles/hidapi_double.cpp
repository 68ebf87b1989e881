// A scripted stand-in for hidapi, linked in place of the real library by the tests.
#include "tests/doubles/hidapi_double.h"

#include <hidapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <map>
#include <mutex>

struct hid_device_ {
  std::string path;
};

namespace hid_double {
namespace {

struct World {
  std::mutex lock;
  std::vector<Collection> collections;
  std::vector<std::string> unplugged;
  std::map<std::string, std::deque<std::vector<std::uint8_t>>> replies;
  std::vector<FeatureWrite> writes;
  int reads = 0, opens = 0, closes = 0, enumerations = 0;
  bool initialised = false;
};

World& W() {
  static World world;
  return world;
}

const Collection* Find(World& w, const std::string& path) {
  for (const auto& c : w.collections)
    if (c.path == path) return &c;
  return nullptr;
}

bool Gone(World& w, const std::string& path) {
  return std::any_of(w.unplugged.begin(), w.unplugged.end(),
                     [&](const std::string& p) { return path.rfind(p, 0) == 0; });
}

}  // namespace

void Reset() {
  World& w = W();
  std::lock_guard<std::mutex> g(w.lock);
  w.collections.clear();
  w.unplugged.clear();
  w.replies.clear();
  w.writes.clear();
  w.reads = w.opens = w.closes = w.enumerations = 0;
}

void AddCollection(const Collection& c) {
  std::lock_guard<std::mutex> g(W().lock);
  W().collections.push_back(c);
}

void Unplug(const std::string& prefix) {
  std::lock_guard<std::mutex> g(W().lock);
  W().unplugged.push_back(prefix);
}

void QueueFeatureReply(const std::string& path, const std::vector<std::uint8_t>& reply) {
  std::lock_guard<std::mutex> g(W().lock);
  W().replies[path].push_back(reply);
}

std::vector<FeatureWrite> FeatureWrites() {
  std::lock_guard<std::mutex> g(W().lock);
  return W().writes;
}
int FeatureReads() {
  std::lock_guard<std::mutex> g(W().lock);
  return W().reads;
}
int Opens() {
  std::lock_guard<std::mutex> g(W().lock);
  return W().opens;
}
int Closes() {
  std::lock_guard<std::mutex> g(W().lock);
  return W().closes;
}
int OpenHandles() {
  std::lock_guard<std::mutex> g(W().lock);
  return W().opens - W().closes;
}
int Enumerations() {
  std::lock_guard<std::mutex> g(W().lock);
  return W().enumerations;
}
bool Initialised() {
  std::lock_guard<std::mutex> g(W().lock);
  return W().initialised;
}

}  // namespace hid_double

using hid_double::W;

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void) {
  std::lock_guard<std::mutex> g(W().lock);
  W().initialised = true;
  return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void) {
  std::lock_guard<std::mutex> g(W().lock);
  W().initialised = false;
  return 0;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short vendor_id,
                                                                  unsigned short product_id) {
  auto& w = W();
  std::lock_guard<std::mutex> g(w.lock);
  ++w.enumerations;
  hid_device_info* head = nullptr;
  hid_device_info** tail = &head;
  for (const auto& c : w.collections) {
    if (hid_double::Gone(w, c.path)) continue;
    if ((vendor_id && vendor_id != c.vendor_id) || (product_id && product_id != c.product_id))
      continue;
    auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
    info->path = strdup(c.path.c_str());
    info->vendor_id = c.vendor_id;
    info->product_id = c.product_id;
    info->release_number = c.release_number;
    info->usage_page = c.usage_page;
    info->usage = c.usage;
    info->interface_number = -1;
    *tail = info;
    tail = &info->next;
  }
  return head;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs) {
  while (devs) {
    hid_device_info* next = devs->next;
    std::free(devs->path);
    std::free(devs);
    devs = next;
  }
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path) {
  auto& w = W();
  std::lock_guard<std::mutex> g(w.lock);
  const hid_double::Collection* c = hid_double::Find(w, path ? path : "");
  if (!c || c->open_fails || hid_double::Gone(w, c->path)) return nullptr;
  ++w.opens;
  return new hid_device_{c->path};
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev) {
  if (!dev) return;
  {
    std::lock_guard<std::mutex> g(W().lock);
    ++W().closes;
  }
  delete dev;
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen) {
  auto& w = W();
  std::lock_guard<std::mutex> g(w.lock);
  const hid_double::Collection* c = hid_double::Find(w, dev->path);
  if (!c || c->product_fails || hid_double::Gone(w, dev->path) || maxlen == 0) return -1;
  std::wcsncpy(string, c->product.c_str(), maxlen);
  string[maxlen - 1] = 0;
  return 0;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device* dev, const unsigned char* data,
                                                        size_t length) {
  auto& w = W();
  std::lock_guard<std::mutex> g(w.lock);
  w.writes.push_back({dev->path, std::vector<std::uint8_t>(data, data + length)});
  const hid_double::Collection* c = hid_double::Find(w, dev->path);
  if (!c || c->send_fails || hid_double::Gone(w, dev->path)) return -1;
  return static_cast<int>(length);
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device* dev, unsigned char* data,
                                                       size_t length) {
  auto& w = W();
  std::lock_guard<std::mutex> g(w.lock);
  ++w.reads;
  auto& queue = w.replies[dev->path];
  if (hid_double::Gone(w, dev->path) || queue.empty()) return -1;
  std::vector<std::uint8_t> reply = std::move(queue.front());
  queue.pop_front();
  const size_t n = std::min(length, reply.size());
  std::memcpy(data, reply.data(), n);
  return static_cast<int>(n);
}

const wchar_t* HID_API_EXPORT HID_API_CALL hid_error(hid_device*) { return L"test double"; }

}  // extern "C"
