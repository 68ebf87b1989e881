// A scripted stand-in for hidapi, linked in place of the real library by the tests.
#include "tests/doubles/hidapi_double.h"

#include <hidapi.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

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
  std::set<const hid_device_info*> live_enumerations;
  int reads = 0, opens = 0, closes = 0, enumerations = 0, foreign_frees = 0, io_in_progress = 0;
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

int Read(int World::*counter) {
  std::lock_guard<std::mutex> g(W().lock);
  return W().*counter;
}

// Waits out the stall of the collection at `path` without holding the world's lock, so that
// the scripting side and other handles stay usable meanwhile.
void Stall(const std::string& path) {
  World& w = W();
  int ms = 0;
  {
    std::lock_guard<std::mutex> g(w.lock);
    const Collection* c = Find(w, path);
    if (c) ms = c->stall_ms;
    if (ms <= 0) return;
    ++w.io_in_progress;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  std::lock_guard<std::mutex> g(w.lock);
  --w.io_in_progress;
}

}  // namespace

void Reset() {
  World& w = W();
  std::lock_guard<std::mutex> g(w.lock);
  w.collections.clear();
  w.unplugged.clear();
  w.replies.clear();
  w.writes.clear();
  // Lists still live are forgotten, not freed: a leak is the test's finding, not ours to mend.
  w.live_enumerations.clear();
  w.reads = w.opens = w.closes = w.enumerations = w.foreign_frees = 0;
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
int FeatureReads() { return Read(&World::reads); }
int Opens() { return Read(&World::opens); }
int Closes() { return Read(&World::closes); }
int OpenHandles() { return Opens() - Closes(); }
int Enumerations() { return Read(&World::enumerations); }
int LiveEnumerations() {
  std::lock_guard<std::mutex> g(W().lock);
  return static_cast<int>(W().live_enumerations.size());
}
int ForeignFrees() { return Read(&World::foreign_frees); }
int IoInProgress() { return Read(&World::io_in_progress); }
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
  if (head) w.live_enumerations.insert(head);
  return head;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs) {
  if (!devs) return;
  {
    std::lock_guard<std::mutex> g(W().lock);
    if (W().live_enumerations.erase(devs) == 0) {
      ++W().foreign_frees;  // not ours, or freed twice: touching it would corrupt the heap
      return;
    }
  }
  while (devs) {
    hid_device_info* next = devs->next;
    std::free(devs->path);
    std::free(devs);
    devs = next;
  }
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path) {
  hid_double::Stall(path ? path : "");
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
  hid_double::Stall(dev->path);
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
  hid_double::Stall(dev->path);
  auto& w = W();
  std::lock_guard<std::mutex> g(w.lock);
  w.writes.push_back({dev->path, std::vector<std::uint8_t>(data, data + length)});
  const hid_double::Collection* c = hid_double::Find(w, dev->path);
  if (!c || c->send_fails || hid_double::Gone(w, dev->path)) return -1;
  if (c->send_writes_nothing) return 0;
  return static_cast<int>(length);
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device* dev, unsigned char* data,
                                                       size_t length) {
  hid_double::Stall(dev->path);
  auto& w = W();
  std::lock_guard<std::mutex> g(w.lock);
  ++w.reads;
  auto& queue = w.replies[dev->path];
  if (length == 0 || data[0] != 0x07) return -1;  // no such feature report on the display
  if (hid_double::Gone(w, dev->path) || queue.empty()) return -1;
  std::vector<std::uint8_t> reply = std::move(queue.front());
  queue.pop_front();
  const size_t n = std::min(length, reply.size());
  std::memcpy(data, reply.data(), n);
  return static_cast<int>(n);
}

const wchar_t* HID_API_EXPORT HID_API_CALL hid_error(hid_device*) { return L"test double"; }

}  // extern "C"
