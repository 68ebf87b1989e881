// HTTP GET through WinINet: version texts into memory (HttpGetText) and archives into files
// (HttpDownloadFile).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "app/base/stop_token.h"
#include "app/base/utf8_text.h"

namespace calorix {

// Statuses of HttpGetText and HttpDownloadFile.
inline constexpr int kHttpDone = 1;
inline constexpr int kHttpNoInternet = 0;  // no internet handle
inline constexpr int kHttpFailed = -1;     // the URL, the answer, the file or a read failed
inline constexpr int kHttpStopped = -2;    // the running flag was cleared

struct HttpTimeouts {
  DWORD connect_ms;
  DWORD send_ms;
  DWORD receive_ms;
  // The longest wait for the answer: a whole text, or an archive's headers. Needed besides
  // the others: Wine applies none of them to the TLS handshake.
  DWORD deadline_ms;
};
// The start-up checks run on the worker before the first report: against a server that
// accepts connections and never answers, both together must end well within 6 s.
inline constexpr HttpTimeouts kCheckTimeouts{1500, 1500, 1500, 2000};
// A download runs after the user agreed to wait for it; a slow link may pause longer.
inline constexpr HttpTimeouts kDownloadTimeouts{5000, 5000, 15000, 20000};

// Why the last request of a fetcher or downloader failed, for the log.
struct HttpDiagnosis {
  DWORD error = 0;                // GetLastError of the WinINet or file call that failed
  DWORD http_status = 0;          // the server's status code, once one arrived
  const char* refusal = nullptr;  // what the program itself refused, when it did
};

// The refusal of a download that announces or brings more than its cap.
inline constexpr char kOverDownloadCap[] = "over the download cap";
// The refusal of any request while one that passed its deadline still waits (see HttpClient).
inline constexpr char kEarlierRequestStranded[] = "an earlier request has not ended yet";

// A redirect is followed only within the same scheme, host and port, and only so often.
inline constexpr int kMaxRedirects = 5;

// Only 10 characters of a version file count; anything far longer is not a version file
// and is not held in memory.
inline constexpr std::size_t kMaxTextBytes = 64 * 1024;

// What the fetcher and the downloader share: a running flag that each call sets and that
// another thread (the worker's stop hook) may clear to end the read loop, and why the last
// call failed. A `stop` token given to a call ends it as well.
//
// A request that passes its deadline (or is stopped) is left to end on a thread of its own,
// which closes its handles when WinINet lets go. While it has not, no request of any client
// starts: a call waits for it up to its own deadline, then fails with
// kEarlierRequestStranded. A server that never answers so costs one thread, however often it
// is asked.
class HttpClient {
 public:
  void Stop() { running_ = false; }
  // Of the last call; read on the thread that made it.
  const HttpDiagnosis& Diagnosis() const { return diagnosis_; }

 protected:
  explicit HttpClient(HttpTimeouts timeouts) : timeouts_(timeouts) {}
  // Sets the running flag and forgets the last diagnosis; false, with the refusal in the
  // diagnosis, when a stranded request has not ended within the deadline.
  bool Begin(const StopToken* stop);
  bool KeepRunning(const StopToken* stop) const;

  std::atomic<bool> running_{false};
  const HttpTimeouts timeouts_;
  HttpDiagnosis diagnosis_;
};

// Fetches small texts.
class HttpFetcher : public HttpClient {
 public:
  explicit HttpFetcher(HttpTimeouts timeouts = kCheckTimeouts) : HttpClient(timeouts) {}
  // The body, converted from UTF-8 up to its first NUL, is assigned to `text` on kHttpDone
  // only. An answer other than 2xx, a body shorter than its Content-Length or longer than
  // kMaxTextBytes, and an answer not complete within the deadline fail.
  int HttpGetText(const std::wstring& url, std::wstring* text, const StopToken* stop = nullptr);
};

// Downloads into a file.
class HttpDownloader : public HttpClient {
 public:
  explicit HttpDownloader(HttpTimeouts timeouts = kDownloadTimeouts) : HttpClient(timeouts) {}
  // Writes the body through `file` (open for writing, at its start). kHttpDone only when
  // every byte the server announced was received and written. A body that announces or
  // brings more than `max_bytes` fails as soon as that is known; what arrived stays.
  int HttpDownloadFile(const std::wstring& url, HANDLE file, unsigned long long max_bytes,
                       const StopToken* stop = nullptr);
};

}  // namespace calorix
