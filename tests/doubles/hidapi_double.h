// Scripting side of the hidapi test double: the fake system's HID collections.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hid_double {

struct Collection {
  std::string path;
  unsigned short vendor_id = 0x1A2C;
  unsigned short product_id = 0x444D;
  unsigned short usage_page = 0xFF01;
  unsigned short usage = 1;
  unsigned short release_number = 0x0100;
  std::wstring product = L"Cooler Display";
  bool open_fails = false;
  bool product_fails = false;
  bool send_fails = false;           // hid_send_feature_report returns -1
  bool send_writes_nothing = false;  // hid_send_feature_report returns 0
  int stall_ms = 0;  // every open, string read and feature report on it first waits so long
};

struct FeatureWrite {
  std::string path;
  std::vector<std::uint8_t> bytes;
};

// Forgets every collection, reply and count.
void Reset();
void AddCollection(const Collection& collection);
// The device behind every collection whose path starts with `prefix` goes away: opens
// fail, and I/O on handles already open fails.
void Unplug(const std::string& prefix);
// Replies to hid_get_feature_report of report 0x07 on `path`, consumed in order; when none
// is left the read fails. As on a real device, byte 0 of the caller's buffer selects the
// report: a read of any other report fails and consumes nothing.
void QueueFeatureReply(const std::string& path, const std::vector<std::uint8_t>& reply);

std::vector<FeatureWrite> FeatureWrites();
int FeatureReads();
int Opens();
int Closes();
int OpenHandles();
int Enumerations();
// Enumerations handed out and not freed yet; a test ends with none.
int LiveEnumerations();
// hid_free_enumeration calls with a list this double did not hand out (or freed already).
int ForeignFrees();
// Calls currently waiting out a collection's stall.
int IoInProgress();
bool Initialised();

}  // namespace hid_double
