// Winsock on the loopback address: connect with a time limit, send the request, read until the
// server closes.
#include "server/win/loopback_http.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "app/base/unique_handle.h"

namespace kalvaro {

namespace {

constexpr std::size_t kMaxResponse = 8 << 20;

struct SocketTraits {
  using type = SOCKET;
  static type invalid() { return INVALID_SOCKET; }
  void close(type s) const { ::closesocket(s); }
};
using UniqueSocket = calorix::UniqueHandle<SocketTraits>;

bool WinsockReady() {
  // Started once and kept for the process's life, like the thread that uses it.
  static const bool ready = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ready;
}

bool Connect(SOCKET s, std::uint16_t port, int timeout_ms) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  u_long non_blocking = 1;
  ::ioctlsocket(s, FIONBIO, &non_blocking);
  if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
      ::WSAGetLastError() != WSAEWOULDBLOCK) {
    return false;
  }
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval limit{timeout_ms / 1000, timeout_ms % 1000 * 1000};
  if (::select(0, nullptr, &writable, &failed, &limit) != 1 || !FD_ISSET(s, &writable)) {
    return false;
  }
  u_long blocking = 0;
  return ::ioctlsocket(s, FIONBIO, &blocking) == 0;
}

}  // namespace

std::optional<std::string> LoopbackGet(std::uint16_t port, const char* path,
                                       LoopbackTimeouts timeouts) {
  if (!WinsockReady()) return std::nullopt;
  UniqueSocket s(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!s || !Connect(s.get(), port, timeouts.connect_ms)) return std::nullopt;
  const DWORD receive_ms = static_cast<DWORD>(timeouts.receive_ms);
  ::setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receive_ms),
               sizeof receive_ms);
  const std::string request = std::string("GET ") + path +
                              " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\nConnection: close\r\n\r\n";
  if (::send(s.get(), request.data(), static_cast<int>(request.size()), 0) !=
      static_cast<int>(request.size())) {
    return std::nullopt;
  }
  std::string response;
  char chunk[16384];
  for (;;) {
    const int n = ::recv(s.get(), chunk, sizeof chunk, 0);
    // A server that keeps the connection open after all its bytes ends with the time-out;
    // the response's own framing tells whether they are all there.
    if (n == 0 || (n < 0 && !response.empty())) return response;
    if (n < 0 || response.size() + n > kMaxResponse) return std::nullopt;
    response.append(chunk, static_cast<std::size_t>(n));
  }
}

}  // namespace kalvaro
