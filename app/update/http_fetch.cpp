// WinINet requests of the update service.
#include "app/update/http_fetch.h"

#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/base/handles.h"
#include "app/update/update_plan.h"

namespace calorix {
namespace {

struct InternetHandleTraits {
  using type = HINTERNET;
  static type invalid() { return nullptr; }
  void close(type h) const { ::InternetCloseHandle(h); }
};
using UniqueInternet = UniqueHandle<InternetHandleTraits>;

constexpr DWORD kReadChunk = 10240;
// INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE. No flag
// that relaxes certificate checks: a server whose certificate does not verify is not used.
// Redirects are followed here, not by WinINet, which would follow them to any server.
constexpr DWORD kOpenFlags = 0x84000100 | INTERNET_FLAG_NO_AUTO_REDIRECT;

struct OpenedUrl {
  int status = kHttpFailed;
  HttpDiagnosis diagnosis;
  UniqueInternet session;     // owned; declared first, so it is closed last
  UniqueInternet connection;  // owned
  UniqueInternet request;     // owned
  DWORD content_length = 0;
  bool length_known = false;
};

void SetTimeouts(HINTERNET handle, const HttpTimeouts& timeouts) {
  const std::pair<DWORD, DWORD> options[] = {
      {INTERNET_OPTION_CONNECT_TIMEOUT, timeouts.connect_ms},
      {INTERNET_OPTION_SEND_TIMEOUT, timeouts.send_ms},
      {INTERNET_OPTION_RECEIVE_TIMEOUT, timeouts.receive_ms},
  };
  for (auto [option, value] : options) ::InternetSetOptionW(handle, option, &value, sizeof value);
}

DWORD QueryNumber(HINTERNET request, DWORD query, bool* found) {
  DWORD value = 0;
  DWORD size = sizeof value;
  *found = ::HttpQueryInfoW(request, query | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr);
  return value;
}

// Opens the request the way InternetOpenUrl would, but in steps, so that the time-outs are
// set on the request itself: Wine's InternetOpenUrl does not hand the session's receive
// time-out to the request it makes, and a silent server then holds the worker for good.
bool SendRequest(OpenedUrl& opened, const std::wstring& url, const HttpTimeouts& timeouts) {
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return false;
  const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  if (!secure && parts.nScheme != INTERNET_SCHEME_HTTP) return false;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  // The path is sent as written (with its doubled slashes); an empty one asks for "/".
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";
  opened.request.reset();
  opened.connection.reset(::InternetConnectW(opened.session.get(), host.c_str(), parts.nPort,
                                             nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!opened.connection) return false;
  opened.request.reset(::HttpOpenRequestW(opened.connection.get(), L"GET", path.c_str(), nullptr,
                                          nullptr, nullptr,
                                          kOpenFlags | (secure ? INTERNET_FLAG_SECURE : 0), 0));
  if (!opened.request) return false;
  SetTimeouts(opened.request.get(), timeouts);
  static const char headers[] = "Accept: */*\r\n\r\n";
  return ::HttpSendRequestA(opened.request.get(), headers, static_cast<DWORD>(::lstrlenA(headers)),
                            nullptr, 0);
}

bool IsRedirect(DWORD status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The absolute URL a redirect's Location names, resolved against the URL that answered.
std::wstring RedirectTarget(HINTERNET request, const std::wstring& from) {
  wchar_t location[2048] = {};
  DWORD size = sizeof location;
  if (!::HttpQueryInfoW(request, HTTP_QUERY_LOCATION, location, &size, nullptr)) return {};
  wchar_t target[2048] = {};
  DWORD length = static_cast<DWORD>(std::size(target));
  if (!::InternetCombineUrlW(from.c_str(), location, target, &length, ICU_NO_ENCODE)) return {};
  return std::wstring(target, length);
}

// Sends the request, following redirects that stay with the same server; fills the status.
bool SendFollowingRedirects(OpenedUrl& opened, std::wstring url, const HttpTimeouts& timeouts) {
  for (int redirects = 0;; ++redirects) {
    if (!SendRequest(opened, url, timeouts)) {
      opened.diagnosis.error = ::GetLastError();
      return false;
    }
    bool found = false;
    opened.diagnosis.http_status =
        QueryNumber(opened.request.get(), HTTP_QUERY_STATUS_CODE, &found);
    if (!found || !IsRedirect(opened.diagnosis.http_status)) return found;
    if (redirects == kMaxRedirects) {
      opened.diagnosis.refusal = "too many redirects";
      return false;
    }
    std::wstring target = RedirectTarget(opened.request.get(), url);
    if (target.empty() || !IsAllowedRedirect(url, target)) {
      opened.diagnosis.refusal = "a redirect to another server or scheme";
      return false;
    }
    url = std::move(target);
  }
}

// The connection-state flags only choose whether a proxy configuration is used.
OpenedUrl OpenUrl(const std::wstring& url, const HttpTimeouts& timeouts) {
  OpenedUrl opened;
  DWORD state = 0;
  ::InternetGetConnectedState(&state, 0);
  const DWORD access = (state & INTERNET_CONNECTION_PROXY)
                           ? INTERNET_OPEN_TYPE_PRECONFIG
                           : INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY;
  char agent[64] = "IIC2.0/PC 5.5.0000";
  opened.session.reset(::InternetOpenA(agent, access, nullptr, nullptr, 0));
  if (!opened.session) {
    opened.diagnosis.error = ::GetLastError();
    opened.status = kHttpNoInternet;
    return opened;
  }
  SetTimeouts(opened.session.get(), timeouts);
  // An error page is not the file that was asked for.
  if (!SendFollowingRedirects(opened, url, timeouts) || opened.diagnosis.http_status < 200 ||
      opened.diagnosis.http_status > 299)
    return opened;
  opened.content_length =
      QueryNumber(opened.request.get(), HTTP_QUERY_CONTENT_LENGTH, &opened.length_known);
  opened.status = kHttpDone;
  return opened;
}

// Reads the whole body into `sink` (false from the sink ends the read as a failure).
// Returns kHttpDone, kHttpFailed, or kHttpStopped when `keep_running` turned false.
int ReadBody(OpenedUrl& opened, const std::function<bool(const char*, DWORD)>& sink,
             const std::function<bool()>& keep_running) {
  std::vector<char> chunk(kReadChunk);
  unsigned long long total = 0;
  for (;;) {
    std::memset(chunk.data(), 0, chunk.size());
    DWORD read = 0;
    if (!::InternetReadFile(opened.request.get(), chunk.data(), kReadChunk, &read)) {
      opened.diagnosis.error = ::GetLastError();
      return kHttpFailed;
    }
    if (read == 0) break;
    total += read;
    if (!sink(chunk.data(), read)) {
      opened.diagnosis.error = ::GetLastError();
      return kHttpFailed;
    }
    if (!keep_running()) return kHttpStopped;
  }
  // A connection that closes early ends the body like a complete one.
  if (opened.length_known && total != opened.content_length) {
    opened.diagnosis.error = ERROR_HANDLE_EOF;
    return kHttpFailed;
  }
  return kHttpDone;
}

// Waits on `changed` until `ended` holds, `keep_running` turns false or `deadline_ms` passes;
// whether `ended` holds then. `keep_running` is looked at every 50 ms: a stop request has no
// condition of its own to notify.
template <class Ended, class KeepRunning>
bool WaitEnded(std::condition_variable& changed, std::unique_lock<std::mutex>& guard,
               DWORD deadline_ms, Ended ended, const KeepRunning& keep_running) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadline_ms);
  while (!ended() && keep_running() && std::chrono::steady_clock::now() < end)
    changed.wait_for(guard, std::chrono::milliseconds(50));
  return ended();
}

// Whether a request left behind by WithDeadline still runs. Taken after a request's own lock,
// never before it.
struct Stranded {
  std::mutex lock;
  std::condition_variable ended;
  bool running = false;  // guarded by lock
};
Stranded& StrandedRequest() {
  static Stranded stranded;
  return stranded;
}

void SetStranded(bool running) {
  Stranded& stranded = StrandedRequest();
  {
    std::lock_guard<std::mutex> guard(stranded.lock);
    stranded.running = running;
  }
  if (!running) stranded.ended.notify_all();
}

// Runs `work` on a thread of its own and waits for it at most `deadline_ms`, or until
// `keep_running` turns false. WinINet under Wine blocks in a TLS handshake with a server
// that never answers, whatever the time-outs say, and closing the handles from another
// thread does not release it (nor may a handle in use be closed, says WinINet). A late
// `work` is left to finish on its own: it owns everything it uses, closes its handles
// itself and is ended at the latest with the process. Until then it is the stranded request.
template <class Result>
std::optional<Result> WithDeadline(std::function<Result()> work, DWORD deadline_ms,
                                   const std::function<bool()>& keep_running) {
  struct Shared {
    std::mutex lock;
    std::condition_variable done_changed;
    bool done = false;
    bool stranded = false;
    std::optional<Result> result;
  };
  auto shared = std::make_shared<Shared>();
  std::thread([shared, work = std::move(work)] {
    Result result = work();
    std::lock_guard<std::mutex> guard(shared->lock);
    shared->result = std::move(result);
    shared->done = true;
    if (shared->stranded) SetStranded(false);
    shared->done_changed.notify_all();
  }).detach();
  std::unique_lock<std::mutex> guard(shared->lock);
  if (!WaitEnded(
          shared->done_changed, guard, deadline_ms, [&] { return shared->done; }, keep_running)) {
    shared->stranded = true;
    SetStranded(true);
    return std::nullopt;
  }
  return std::move(shared->result);
}

struct TextResult {
  int status = kHttpFailed;
  HttpDiagnosis diagnosis;
  std::string body;
};

// The whole fetch of a text, on its own thread: it must not touch the fetcher.
TextResult FetchText(const std::wstring& url, const HttpTimeouts& timeouts) {
  TextResult result;
  OpenedUrl opened = OpenUrl(url, timeouts);
  result.status = opened.status;
  if (opened.status == kHttpDone) {
    result.status = ReadBody(
        opened,
        [&result](const char* data, DWORD size) {
          result.body.append(data, size);
          return result.body.size() <= kMaxTextBytes;
        },
        [] { return true; });
  }
  result.diagnosis = opened.diagnosis;
  return result;
}

}  // namespace

bool HttpClient::Begin(const StopToken* stop) {
  running_ = true;
  diagnosis_ = {};
  Stranded& stranded = StrandedRequest();
  std::unique_lock<std::mutex> guard(stranded.lock);
  if (WaitEnded(
          stranded.ended, guard, timeouts_.deadline_ms, [&] { return !stranded.running; },
          [&] { return KeepRunning(stop); }))
    return true;
  diagnosis_.refusal = kEarlierRequestStranded;
  return false;
}

bool HttpClient::KeepRunning(const StopToken* stop) const {
  return running_.load() && !(stop && stop->StopRequested());
}

int HttpFetcher::HttpGetText(const std::wstring& url, std::wstring* text, const StopToken* stop) {
  if (!Begin(stop)) return kHttpFailed;
  const std::optional<TextResult> fetched =
      WithDeadline<TextResult>([url, timeouts = timeouts_] { return FetchText(url, timeouts); },
                               timeouts_.deadline_ms, [this, stop] { return KeepRunning(stop); });
  if (!KeepRunning(stop)) return kHttpStopped;
  if (!fetched) {
    diagnosis_.error = ERROR_TIMEOUT;
    return kHttpFailed;
  }
  diagnosis_ = fetched->diagnosis;
  if (fetched->status == kHttpDone) *text = FromUtf8(fetched->body);
  return fetched->status;
}

int HttpDownloader::HttpDownloadFile(const std::wstring& url, HANDLE file,
                                     unsigned long long max_bytes, const StopToken* stop) {
  if (!Begin(stop)) return kHttpFailed;
  const auto keep_running = [this, stop] { return KeepRunning(stop); };
  std::optional<OpenedUrl> opened =
      WithDeadline<OpenedUrl>([url, timeouts = timeouts_] { return OpenUrl(url, timeouts); },
                              timeouts_.deadline_ms, keep_running);
  if (!keep_running()) return kHttpStopped;
  if (!opened) {
    diagnosis_.error = ERROR_TIMEOUT;
    return kHttpFailed;
  }
  diagnosis_ = opened->diagnosis;
  if (opened->status != kHttpDone) return opened->status;
  if (opened->length_known && opened->content_length > max_bytes) {
    diagnosis_.refusal = kOverDownloadCap;
    return kHttpFailed;
  }
  // A failed write means the archive on disk is not the one the server sent.
  unsigned long long total = 0;
  const int status = ReadBody(
      *opened,
      [&](const char* data, DWORD size) {
        total += size;
        if (total > max_bytes) {
          opened->diagnosis.refusal = kOverDownloadCap;
          return false;
        }
        DWORD written = 0;
        return ::WriteFile(file, data, size, &written, nullptr) && written == size;
      },
      keep_running);
  diagnosis_ = opened->diagnosis;
  if (status != kHttpDone) return status;
  return keep_running() ? kHttpDone : kHttpStopped;
}

}  // namespace calorix
