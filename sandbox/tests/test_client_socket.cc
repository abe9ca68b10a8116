// The test client's exchanges over a plain socket, one connection per exchange: for Windows, where
// there is no libcurl. Only what the sandbox answers needs reading: a status line, headers, and a
// body framed by Content-Length, by chunks, or by the end of the connection. (It builds on POSIX
// systems as well, where it can be tried against the libcurl one.)
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>

#include "loopback_socket.h"
#include "test_client.h"

namespace lumo::sandbox::testing {
namespace {

// libcurl's codes for the outcomes that test_client.h does not name.
constexpr int kCouldNotConnect = 7;
constexpr int kWeirdReply = 8;
constexpr int kTimedOut = 28;
constexpr int kSendError = 55;
constexpr int kReceiveError = 56;

constexpr std::chrono::seconds kTimeout{20};

bool NameIs(std::string_view header, std::string_view name) {
  if (header.size() <= name.size() || header[name.size()] != ':') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(header[i])) !=
        std::tolower(static_cast<unsigned char>(name[i]))) {
      return false;
    }
  }
  return true;
}

// The value of header `name` in the head's lines, without surrounding blanks.
std::optional<std::string> HeaderValue(std::string_view head, std::string_view name) {
  for (size_t at = head.find("\r\n"); at != std::string_view::npos;) {
    const size_t start = at + 2;
    at = head.find("\r\n", start);
    std::string_view line = head.substr(start, at == std::string_view::npos ? at : at - start);
    if (!NameIs(line, name)) continue;
    line.remove_prefix(name.size() + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return std::string(line);
  }
  return std::nullopt;
}

// The body of a chunked answer in `data`; nothing while the last chunk has not arrived.
std::optional<std::string> Unchunk(std::string_view data) {
  std::string body;
  for (;;) {
    const size_t line_end = data.find("\r\n");
    if (line_end == std::string_view::npos) return std::nullopt;
    const size_t size = std::strtoul(std::string(data.substr(0, line_end)).c_str(), nullptr, 16);
    data.remove_prefix(line_end + 2);
    if (size == 0) return body;
    if (data.size() < size + 2) return std::nullopt;
    body.append(data.substr(0, size));
    data.remove_prefix(size + 2);
  }
}

// What has arrived so far, read as an answer: complete or not.
struct Reading {
  bool complete = false;
  bool has_head = false;
  long status = 0;
  std::string body;
};

Reading Read(const std::string& received, bool at_end) {
  Reading reading;
  const size_t head_end = received.find("\r\n\r\n");
  if (head_end == std::string::npos) return reading;
  const std::string_view head(received.data(), head_end);
  reading.has_head = true;
  if (head.rfind("HTTP/1.", 0) == 0 && head.size() >= 12) {
    reading.status = std::strtol(std::string(head.substr(9, 3)).c_str(), nullptr, 10);
  }
  const std::string_view rest = std::string_view(received).substr(head_end + 4);
  const std::optional<std::string> encoding = HeaderValue(head, "Transfer-Encoding");
  if (encoding && *encoding == "chunked") {
    if (std::optional<std::string> body = Unchunk(rest)) {
      reading.complete = true;
      reading.body = std::move(*body);
    }
    return reading;
  }
  if (const std::optional<std::string> length = HeaderValue(head, "Content-Length")) {
    const size_t expected = std::strtoull(length->c_str(), nullptr, 10);
    reading.complete = rest.size() >= expected;
    reading.body = std::string(rest.substr(0, expected));
    return reading;
  }
  reading.complete = at_end;
  reading.body = std::string(rest);
  return reading;
}

}  // namespace

// Nothing lasts from one exchange to the next.
struct Client::Connection {};

Client::Client(std::string address, uint16_t port)
    : address_(std::move(address)), port_(port), connection_(std::make_unique<Connection>()) {}

Client::~Client() = default;

Response Client::Exchange(const std::string& verb, const std::string& target,
                          const std::vector<std::string>& headers, const std::string& body) {
  Response response;
  LoopbackSocket socket(address_, port_, kTimeout);
  if (!socket.connected()) {
    response.curl_code = kCouldNotConnect;
    return response;
  }

  // As libcurl writes it: a header given as "Name:" with nothing after it only removes the
  // client's own one.
  std::string request = verb + " " + target + " HTTP/1.1\r\n";
  bool has_host = false;
  for (const std::string& header : headers) {
    has_host = has_host || NameIs(header, "Host");
    if (!header.empty() && header.back() != ':') request += header + "\r\n";
  }
  if (!has_host) request += "Host: " + address_ + ":" + std::to_string(port_) + "\r\n";
  if (verb == "PUT" || verb == "POST") {
    request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  }
  request += "Connection: close\r\n\r\n";
  if (!socket.Send(request) || !socket.Send(body)) {
    response.curl_code = kSendError;
    return response;
  }

  std::string received;
  Reading reading;
  for (;;) {
    char chunk[16384];
    const long count = socket.Receive(chunk, sizeof(chunk));
    if (count < 0) {
      response.curl_code = socket.timed_out() ? kTimedOut : kReceiveError;
      break;
    }
    if (count > 0) received.append(chunk, static_cast<size_t>(count));
    reading = Read(received, count == 0);
    if (reading.complete || count == 0) break;
  }
  response.status = reading.status;
  response.body = std::move(reading.body);
  if (response.curl_code == 0 && !reading.complete) {
    response.curl_code = received.empty()    ? kCurlGotNothing
                         : !reading.has_head ? kWeirdReply
                                             : kCurlPartialFile;
  }
  return response;
}

}  // namespace lumo::sandbox::testing
