// Framing of an HTTP/1.x response body.
#include "server/core/http_response.h"

#include <charconv>
#include <cstdint>

#include "server/core/text.h"

namespace kalvaro {

namespace {

// "name: value" lines up to the blank line; the value of `name` (any case), if present.
std::optional<std::string_view> Header(std::string_view headers, std::string_view name) {
  while (!headers.empty()) {
    const auto end = headers.find("\r\n");
    const std::string_view line = headers.substr(0, end);
    const auto colon = line.find(':');
    if (colon != std::string_view::npos && EqualsIgnoringCase(Trim(line.substr(0, colon)), name)) {
      return Trim(line.substr(colon + 1));
    }
    if (end == std::string_view::npos) break;
    headers.remove_prefix(end + 2);
  }
  return std::nullopt;
}

std::optional<std::uint64_t> Number(std::string_view text, int base) {
  std::uint64_t n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n, base);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return n;
}

std::optional<std::string> Unchunk(std::string_view rest) {
  std::string body;
  for (;;) {
    const auto line_end = rest.find("\r\n");
    if (line_end == std::string_view::npos) return std::nullopt;
    // The size may carry extensions after a ';'.
    const std::string_view size_text = Trim(rest.substr(0, rest.substr(0, line_end).find(';')));
    const std::optional<std::uint64_t> size = Number(size_text, 16);
    if (!size || size_text.size() > 8) return std::nullopt;
    rest.remove_prefix(line_end + 2);
    if (*size == 0) return body;
    if (*size > rest.size() || rest.substr(*size, 2) != "\r\n") return std::nullopt;
    body.append(rest.substr(0, *size));
    rest.remove_prefix(*size + 2);
  }
}

}  // namespace

std::optional<HttpResponse> ParseHttpResponse(std::string_view raw) {
  const auto head_end = raw.find("\r\n\r\n");
  if (head_end == std::string_view::npos || !StartsWith(raw, "HTTP/1.")) return std::nullopt;
  const std::string_view head = raw.substr(0, head_end);
  const std::string_view rest = raw.substr(head_end + 4);
  const auto status_start = head.find(' ');
  if (status_start == std::string_view::npos) return std::nullopt;
  const std::optional<std::uint64_t> status = Number(head.substr(status_start + 1, 3), 10);
  if (!status || *status < 100 || *status > 999) return std::nullopt;
  HttpResponse response{static_cast<int>(*status), {}};
  const std::string_view headers = head.substr(
      head.find("\r\n") == std::string_view::npos ? head.size() : head.find("\r\n") + 2);
  const auto encoding = Header(headers, "Transfer-Encoding");
  if (encoding && EqualsIgnoringCase(*encoding, "chunked")) {
    std::optional<std::string> body = Unchunk(rest);
    if (!body) return std::nullopt;
    response.body = std::move(*body);
  } else if (const auto length = Header(headers, "Content-Length")) {
    const std::optional<std::uint64_t> n = Number(*length, 10);
    if (!n || *n > rest.size()) return std::nullopt;
    response.body = std::string(rest.substr(0, *n));
  } else {
    response.body = std::string(rest);  // framed by the end of the connection
  }
  return response;
}

}  // namespace kalvaro
