#include "raw_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace lumo::sandbox::testing {
namespace {

constexpr int kSocketTimeoutSeconds = 5;
constexpr auto kAnswerDeadline = std::chrono::seconds(10);
constexpr size_t kMaxAnswerBytes = size_t{64} * 1024 * 1024;

}  // namespace

RawConnection::RawConnection(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) {
    error_ = errno;
    return;
  }
  timeval timeout{kSocketTimeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    error_ = errno;
    ::close(fd);
    return;
  }
  fd_ = fd;
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

RawAnswer RawConnection::ReadAnswer() {
  RawAnswer answer;
  const auto deadline = std::chrono::steady_clock::now() + kAnswerDeadline;
  size_t head_end = std::string::npos;
  size_t body_size = 0;
  char chunk[16384];
  while (std::chrono::steady_clock::now() < deadline && pending_.size() < kMaxAnswerBytes) {
    if (head_end == std::string::npos) {
      head_end = pending_.find("\r\n\r\n");
      if (head_end != std::string::npos) {
        answer.head = pending_.substr(0, head_end);
        size_t length = answer.head.find("\r\nContent-Length: ");
        if (length != std::string::npos)
          body_size = std::strtoul(&answer.head[length + 18], nullptr, 10);
      }
    }
    if (head_end != std::string::npos && pending_.size() >= head_end + 4 + body_size) {
      answer.body = pending_.substr(head_end + 4, body_size);
      pending_.erase(0, head_end + 4 + body_size);
      if (answer.head.rfind("HTTP/1.", 0) == 0 && answer.head.size() > 12) {
        answer.status = std::atoi(answer.head.c_str() + 9);
      }
      return answer;
    }
    ssize_t received = ::recv(fd_, chunk, sizeof(chunk), 0);
    if (received <= 0) break;
    pending_.append(chunk, static_cast<size_t>(received));
  }
  return answer;
}

bool RawConnection::ReadThrough(std::string_view marker, std::string* text) {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerDeadline;
  for (;;) {
    size_t found = pending_.find(marker);
    if (found != std::string::npos) {
      *text = pending_.substr(0, found + marker.size());
      pending_.erase(0, found + marker.size());
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline || pending_.size() > kMaxAnswerBytes) {
      return false;
    }
    char buffer[4096];
    ssize_t got = ::recv(fd_, buffer, sizeof(buffer), 0);
    if (got <= 0) return false;
    pending_.append(buffer, static_cast<size_t>(got));
  }
}

bool RawConnection::PeerCloses() {
  const auto deadline = std::chrono::steady_clock::now() + kAnswerDeadline;
  char chunk[16384];
  while (std::chrono::steady_clock::now() < deadline) {
    ssize_t received = ::recv(fd_, chunk, sizeof(chunk), 0);
    if (received == 0) return true;
    if (received < 0) return errno == ECONNRESET;
  }
  return false;
}

std::string RequestText(std::string_view verb, std::string_view target,
                        std::string_view extra_headers, std::string_view body) {
  std::string text = std::string(verb) + " " + std::string(target) + " HTTP/1.1\r\n";
  text += "Host: 127.0.0.1\r\nUser-Agent: qxpc_1.0.0\r\n";
  if (!extra_headers.empty()) text += std::string(extra_headers) + "\r\n";
  if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  text += "\r\n";
  text += body;
  return text;
}

}  // namespace lumo::sandbox::testing
