// A stand-in for the hardware monitors the server reads: publishes one monitor's layout, in
// that monitor's own objects, with the values given. A test double at the system's edge.
//
//   sensor_publisher FORMAT [--cpu KEY=C]... [--core C]... [--gpu NAME=C]... [--cpu-name NAME]
//                    [--period MS] [--exit-after S] [--curve] [--frozen] [format options]
//
//   hwinfo    Global\HWiNFO_SENS_SM2 and its mutex   --v1, --reading-size N, --fahrenheit,
//                                                    --polling MS
//   aida64    AIDA64_SensorValues                    --comma, --trial, --no-time
//   coretemp  CoreTempMappingObject(Ex) and mutex    --cpus N, --delta, --fahrenheit, --base
//   argus     Global\ARGUSMONITOR_DATA_INTERFACE     --types 26|27
//   lhm       a web server on 127.0.0.1, /data.json  --port P (8085), --old, --comma,
//                                                    --fahrenheit
//   gadget    HKCU\Software\HWiNFO64\VSB             --comma
//
// KEY is the reading's label, or AIDA64's item id (TCPUPKG). --curve swings the first CPU value
// between 35 and 75 degrees over a minute; --frozen keeps the heartbeat (HWiNFO's poll time,
// Argus's counter, AIDA64's time) from moving, like a monitor that hangs. Prints "publishing
// FORMAT" once the data is in place, and runs until its standard input ends (or --exit-after);
// then it leaves as the monitor does: HWiNFO writes "DEAD", Argus's counter goes to 0, the
// other sections go with the process, and the Gadget key is removed (HWiNFO itself leaves it).
#include <winsock2.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tools/sensor_publisher/layouts.h"

namespace {

struct Options {
  std::string format;
  sensors::Published values;
  DWORD period_ms = 1000;
  double exit_after_s = -1;
  bool curve = false, frozen = false;
  sensors::HwinfoOptions hwinfo;
  sensors::CoreTempOptions coretemp;
  sensors::ArgusOptions argus;
  sensors::LhmOptions lhm;
  bool comma = false, trial = false, time_item = true;
  int port = 8085;
};

bool SplitValue(const char* text, sensors::Value* value) {
  const char* eq = std::strrchr(text, '=');
  if (!eq) return false;
  *value = {std::string(text, eq), std::strtod(eq + 1, nullptr)};
  return true;
}

bool Parse(int argc, char** argv, Options* o) {
  if (argc < 2) return false;
  o->format = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    bool* flag = a == "--curve"        ? &o->curve
                 : a == "--frozen"     ? &o->frozen
                 : a == "--fahrenheit" ? &o->hwinfo.fahrenheit
                 : a == "--delta"      ? &o->coretemp.delta_to_tjmax
                 : a == "--comma"      ? &o->comma
                 : a == "--trial"      ? &o->trial
                                       : nullptr;
    if (flag) {
      *flag = true;
      continue;
    }
    if (a == "--v1" || a == "--base" || a == "--old" || a == "--no-time") {
      if (a == "--v1") o->hwinfo.version = 1;
      if (a == "--base") o->coretemp.extended = false;
      if (a == "--old") o->lhm.raw = false;
      if (a == "--no-time") o->time_item = false;
      continue;
    }
    if (!v) return false;
    ++i;
    sensors::Value value;
    if (a == "--cpu" && SplitValue(v, &value)) {
      o->values.cpu.push_back(value);
    } else if (a == "--gpu" && SplitValue(v, &value)) {
      o->values.gpus.push_back(value);
    } else if (a == "--core") {
      o->values.cores.push_back(std::strtod(v, nullptr));
    } else if (a == "--cpu-name") {
      o->values.cpu_name = v;
    } else if (a == "--period" || a == "--polling" || a == "--reading-size" || a == "--cpus" ||
               a == "--types" || a == "--port") {
      const long n = std::strtol(v, nullptr, 10);
      if (n <= 0) return false;
      if (a == "--period") o->period_ms = static_cast<DWORD>(n);
      if (a == "--polling") o->hwinfo.polling_period_ms = static_cast<std::uint32_t>(n);
      if (a == "--reading-size") o->hwinfo.reading_size = static_cast<std::uint32_t>(n);
      if (a == "--cpus") o->coretemp.cpus = static_cast<int>(n);
      if (a == "--types") o->argus.sensor_types = static_cast<int>(n);
      if (a == "--port") o->port = static_cast<int>(n);
    } else if (a == "--exit-after") {
      o->exit_after_s = std::atof(v);
    } else {
      return false;
    }
  }
  o->lhm.comma = o->comma;
  o->lhm.fahrenheit = o->coretemp.fahrenheit = o->hwinfo.fahrenheit;
  if (o->values.cpu.empty() && o->values.cores.empty()) return false;
  return o->format == "hwinfo" || o->format == "aida64" || o->format == "coretemp" ||
         o->format == "argus" || o->format == "lhm" || o->format == "gadget";
}

// A named section the publisher keeps for its whole run, written under the monitor's mutex.
class Section {
 public:
  Section(const wchar_t* name, std::size_t size, const wchar_t* mutex = nullptr)
      : size_(size),
        mapping_(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(size), name)),
        view_(mapping_ ? ::MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, size) : nullptr),
        mutex_(mutex ? ::CreateMutexW(nullptr, FALSE, mutex) : nullptr) {}

  bool ok() const { return view_ != nullptr; }

  void Write(const void* data, std::size_t size) {
    if (mutex_) ::WaitForSingleObject(mutex_, INFINITE);
    std::memset(view_, 0, size_);
    std::memcpy(view_, data, std::min(size, size_));
    if (mutex_) ::ReleaseMutex(mutex_);
  }
  void Write(const std::vector<std::uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }

 private:
  std::size_t size_;
  HANDLE mapping_;  // owned until process exit
  void* view_;      // owned until process exit
  HANDLE mutex_;    // owned until process exit
};

// /data.json on 127.0.0.1, as LibreHardwareMonitor's web server answers it.
class WebServer {
 public:
  bool Start(int port) {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 4) != 0) {
      return false;
    }
    std::thread([this] { Serve(); }).detach();
    return true;
  }

  void Set(std::string body) {
    std::lock_guard<std::mutex> guard(lock_);
    body_ = std::move(body);
  }

 private:
  void Serve() {
    for (;;) {
      const SOCKET client = ::accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      char request[2048];
      const int n = ::recv(client, request, sizeof request - 1, 0);
      request[n > 0 ? n : 0] = 0;
      std::string reply;
      if (std::strncmp(request, "GET /data.json ", 15) == 0) {
        std::lock_guard<std::mutex> guard(lock_);
        reply =
            "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\n"
            "Content-Length: " +
            std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
      } else {
        reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      }
      ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
      ::shutdown(client, SD_SEND);
      ::closesocket(client);
    }
  }

  SOCKET listener_ = INVALID_SOCKET;  // owned until process exit
  std::mutex lock_;
  std::string body_;
};

constexpr wchar_t kGadgetKey[] = L"Software\\HWiNFO64\\VSB";

void WriteGadget(const std::vector<std::pair<std::string, std::string>>& values) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kGadgetKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return;
  }
  for (const auto& [name, text] : values) {
    wchar_t wide_name[64], wide_text[256];
    ::MultiByteToWideChar(CP_UTF8, 0, name.c_str(), -1, wide_name, 64);
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide_text, 256);
    ::RegSetValueExW(key, wide_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide_text),
                     static_cast<DWORD>(n * sizeof(wchar_t)));
  }
  ::RegCloseKey(key);
}

// Set when standard input ends: the test that started the publisher closed its pipe.
HANDLE g_stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

void WatchInput() {
  std::thread([] {
    char buffer[256];
    DWORD n = 0;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &n, nullptr) && n) {
    }
    ::SetEvent(g_stop);
  }).detach();
}

std::string TimeOfDay() {
  SYSTEMTIME t;
  ::GetLocalTime(&t);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
  return text;
}

// One monitor's published objects and the values in them, moved on each period.
class Monitor {
 public:
  explicit Monitor(Options options)
      : o_(std::move(options)), values_(o_.values), started_(_time64(nullptr)) {}

  // Makes the format's objects (sections, web server); false when one could not be made.
  bool Open() {
    if (o_.format == "hwinfo") {
      sections_.emplace_back(L"Global\\HWiNFO_SENS_SM2",
                             sensors::HwinfoLayout(values_, o_.hwinfo).size(),
                             L"Global\\HWiNFO_SM2_MUTEX");
    } else if (o_.format == "aida64") {
      sections_.emplace_back(L"AIDA64_SensorValues", 64 << 10);
    } else if (o_.format == "coretemp") {
      sections_.reserve(2);
      sections_.emplace_back(L"CoreTempMappingObject", 2688, L"CoreTempMutexObject");
      if (o_.coretemp.extended) sections_.emplace_back(L"CoreTempMappingObjectEx", 4740);
    } else if (o_.format == "argus") {
      sections_.emplace_back(L"Global\\ARGUSMONITOR_DATA_INTERFACE", o_.argus.section_size,
                             L"Global\\ARGUSMONITOR_DATA_INTERFACE_MUTEX");
    } else if (o_.format == "lhm") {
      if (!web_.Start(o_.port)) return false;
    }
    for (const Section& s : sections_) {
      if (!s.ok()) return false;
    }
    return true;
  }

  void Publish() {
    if (o_.format == "hwinfo") {
      sections_[0].Write(sensors::HwinfoLayout(values_, o_.hwinfo));
    } else if (o_.format == "aida64") {
      const std::string time = !o_.time_item ? "" : o_.frozen ? first_time_ : TimeOfDay();
      const std::string text = sensors::Aida64Text(values_, time, o_.comma, o_.trial);
      sections_[0].Write(text.c_str(), text.size() + 1);
    } else if (o_.format == "coretemp") {
      const auto bytes = sensors::CoreTempLayout(values_, o_.coretemp);
      for (Section& s : sections_) s.Write(bytes);
    } else if (o_.format == "argus") {
      sections_[0].Write(sensors::ArgusLayout(values_, o_.argus));
    } else if (o_.format == "lhm") {
      web_.Set(sensors::LhmJson(values_, o_.lhm));
    } else {
      WriteGadget(sensors::GadgetValues(values_, o_.comma));
    }
  }

  // The values and heartbeats `seconds` after the start; `last` as the monitor leaves.
  void Step(double seconds, bool last) {
    if (o_.curve) {
      const double c = 55.0 + 20.0 * std::sin(seconds * 2 * 3.14159265 / 60);
      (values_.cpu.empty() ? values_.cores.front() : values_.cpu.front().celsius) = c;
    }
    o_.hwinfo.poll_time = o_.frozen ? started_ : _time64(nullptr);
    o_.hwinfo.dead = last;
    o_.argus.cycle = last ? 0 : o_.frozen ? 1 : cycle_++;
  }

  // What the monitor leaves behind as it ends: HWiNFO's "DEAD", Argus's counter of 0, and no
  // Gadget key.
  void Leave() {
    Step(0, true);
    if (o_.format == "hwinfo" || o_.format == "argus") Publish();
    if (o_.format == "gadget") ::RegDeleteKeyW(HKEY_CURRENT_USER, kGadgetKey);
  }

 private:
  Options o_;  // the heartbeats in its format options move with Step
  sensors::Published values_;
  const std::int64_t started_;
  const std::string first_time_ = TimeOfDay();
  std::uint32_t cycle_ = 1;
  std::vector<Section> sections_;  // owned; the format's shared memory
  WebServer web_;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: sensor_publisher hwinfo|aida64|coretemp|argus|lhm|gadget "
                 "--cpu KEY=C|--core C [...] (see the head of its source)\n");
    return 2;
  }
  const DWORD period_ms = o.period_ms;
  const double exit_after_s = o.exit_after_s;
  const std::string format = o.format;
  Monitor monitor(std::move(o));
  monitor.Step(0, false);
  if (!monitor.Open()) return 1;
  monitor.Publish();
  std::printf("publishing %s\n", format.c_str());
  std::fflush(stdout);
  WatchInput();

  const ULONGLONG start = ::GetTickCount64();
  while (::WaitForSingleObject(g_stop, period_ms) == WAIT_TIMEOUT) {
    const double seconds = (::GetTickCount64() - start) / 1000.0;
    if (exit_after_s >= 0 && seconds >= exit_after_s) break;
    monitor.Step(seconds, false);
    monitor.Publish();
  }
  monitor.Leave();
  return 0;
}
