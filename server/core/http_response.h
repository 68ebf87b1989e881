// The body of an HTTP/1.x response, as a plain socket receives it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kalvaro {

struct HttpResponse {
  int status = 0;
  std::string body;
};

// A complete response: the status line, the headers, and a body framed by Content-Length, by
// chunks, or by the end of the connection. Nothing when it is cut short or malformed.
std::optional<HttpResponse> ParseHttpResponse(std::string_view raw);

}  // namespace kalvaro
