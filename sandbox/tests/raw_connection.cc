#include "raw_connection.h"

#include <cstdlib>

namespace lumo::sandbox::testing {
namespace {

constexpr auto kSocketTimeout = std::chrono::seconds(5);
constexpr auto kAnswerDeadline = std::chrono::seconds(10);
constexpr size_t kMaxAnswerBytes = size_t{64} * 1024 * 1024;

}  // namespace

RawConnection::RawConnection(uint16_t port) : socket_("127.0.0.1", port, kSocketTimeout) {}

RawConnection::~RawConnection() = default;

bool RawConnection::Send(std::string_view bytes) { return socket_.Send(bytes); }

bool RawConnection::Receive(std::chrono::steady_clock::time_point deadline) {
  if (std::chrono::steady_clock::now() > deadline || pending_.size() > kMaxAnswerBytes)
    return false;
  char chunk[16384];
  const long received = socket_.Receive(chunk, sizeof(chunk));
  if (received <= 0) return false;
  pending_.append(chunk, static_cast<size_t>(received));
  return true;
}

RawAnswer RawConnection::ReadAnswer() {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerDeadline;
  RawAnswer answer;
  std::string head;
  if (!ReadThrough("\r\n\r\n", &head)) return answer;
  answer.head = head.substr(0, head.size() - 4);
  const size_t length = answer.head.find("\r\nContent-Length: ");
  const size_t body_size =
      length == std::string::npos ? 0 : std::strtoul(&answer.head[length + 18], nullptr, 10);
  while (pending_.size() < body_size) {
    if (!Receive(deadline)) return answer;
  }
  answer.body = pending_.substr(0, body_size);
  pending_.erase(0, body_size);
  if (answer.head.rfind("HTTP/1.", 0) == 0 && answer.head.size() > 12) {
    answer.status = std::atoi(answer.head.c_str() + 9);
  }
  return answer;
}

bool RawConnection::ReadThrough(std::string_view marker, std::string* text) {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerDeadline;
  while (pending_.find(marker) == std::string::npos) {
    if (!Receive(deadline)) return false;
  }
  const size_t end = pending_.find(marker) + marker.size();
  *text = pending_.substr(0, end);
  pending_.erase(0, end);
  return true;
}

bool RawConnection::PeerCloses() {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerDeadline;
  char chunk[16384];
  while (std::chrono::steady_clock::now() < deadline) {
    const long received = socket_.Receive(chunk, sizeof(chunk));
    if (received == 0) return true;
    if (received < 0) return socket_.reset();
  }
  return false;
}

std::string RequestText(std::string_view verb, std::string_view target,
                        std::string_view extra_headers, std::string_view body,
                        std::string_view host) {
  std::string text = std::string(verb) + " " + std::string(target) + " HTTP/1.1\r\n";
  if (!host.empty()) text += "Host: " + std::string(host) + "\r\n";
  text += "User-Agent: qxpc_1.0.0\r\n";
  if (!extra_headers.empty()) text += std::string(extra_headers) + "\r\n";
  if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return text + "\r\n" + std::string(body);
}

std::string LoopbackHost(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

}  // namespace lumo::sandbox::testing
