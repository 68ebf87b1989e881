// One HTTP GET to a server on this machine, over a plain socket.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kalvaro {

struct LoopbackTimeouts {
  int connect_ms = 250;  // nobody listening answers at once on loopback
  int receive_ms = 2000;
};

// The raw response to GET `path` from 127.0.0.1:`port`, read to the end of the connection (at
// most 8 MiB); nothing when nothing answers there in time.
std::optional<std::string> LoopbackGet(std::uint16_t port, const char* path,
                                       LoopbackTimeouts timeouts = {});

}  // namespace kalvaro
