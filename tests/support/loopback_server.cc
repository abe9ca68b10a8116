#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace lumo::testing {
namespace {

constexpr size_t kChunkBytes = size_t{16} * 1024;

bool SendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

// Reads one request head from `fd` into `request`, keeping surplus bytes in `buffer`.
bool ReadRequest(int fd, std::string& buffer, RecordedRequest& request) {
  size_t head_end;
  while ((head_end = buffer.find("\r\n\r\n")) == std::string::npos) {
    char chunk[8192];
    const ssize_t received = ::recv(fd, chunk, sizeof(chunk), 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(received));
  }
  std::string_view head(buffer.data(), head_end);
  size_t line_end = head.find("\r\n");
  request.request_line = std::string(head.substr(0, line_end));
  const size_t first_space = request.request_line.find(' ');
  const size_t second_space = request.request_line.find(' ', first_space + 1);
  request.target = request.request_line.substr(first_space + 1, second_space - first_space - 1);
  while (line_end != std::string_view::npos) {
    head.remove_prefix(line_end + 2);
    line_end = head.find("\r\n");
    const std::string_view line = head.substr(0, line_end);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
  }
  buffer.erase(0, head_end + 4);
  return true;
}

bool SendResponse(int fd, const CannedResponse& response) {
  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " Canned\r\n";
  for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
  head += response.chunked ? "Transfer-Encoding: chunked\r\n"
                           : "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  if (!SendAll(fd, head + "\r\n")) return false;
  if (!response.chunked) return SendAll(fd, response.body);
  for (size_t at = 0; at < response.body.size(); at += kChunkBytes) {
    const std::string_view chunk = std::string_view(response.body).substr(at, kChunkBytes);
    char size[32];
    std::snprintf(size, sizeof(size), "%zx\r\n", chunk.size());
    if (!SendAll(fd, size) || !SendAll(fd, chunk) || !SendAll(fd, "\r\n")) return false;
  }
  return SendAll(fd, "0\r\n\r\n");
}

}  // namespace

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key.size() == name.size() && ::strncasecmp(key.data(), name.data(), key.size()) == 0) {
      return value;
    }
  }
  return std::nullopt;
}

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (listen_fd_ < 0 ||
      ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listen_fd_, SOMAXCONN) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listen_fd_ >= 0) ::close(listen_fd_);
    throw std::runtime_error("loopback server: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (int fd : open_fds_) ::shutdown(fd, SHUT_RDWR);
  }
  stopping_changed_.notify_all();
  // Wakes accept(); on Linux a listening socket that is shut down fails every accept.
  ::shutdown(listen_fd_, SHUT_RDWR);
  accept_thread_.join();
  ::close(listen_fd_);
  // No thread is added once the accept loop has ended.
  for (std::thread& thread : connection_threads_) thread.join();
}

std::string LoopbackServer::host_port() const { return "127.0.0.1:" + std::to_string(port_); }

std::string LoopbackServer::Url(std::string_view target) const {
  return "http://" + host_port() + std::string(target);
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t LoopbackServer::accepted_connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return accepted_;
}

void LoopbackServer::AcceptLoop() {
  for (;;) {
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(fd);
      return;
    }
    ++accepted_;
    open_fds_.insert(fd);
    connection_threads_.emplace_back([this, fd] { Serve(fd); });
  }
}

bool LoopbackServer::Wait(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !stopping_changed_.wait_for(lock, delay, [this] { return stopping_; });
}

void LoopbackServer::Serve(int fd) {
  std::string buffer;
  for (RecordedRequest request; ReadRequest(fd, buffer, request); request = RecordedRequest()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    CannedResponse response;
    if (handler_) {
      response = handler_(request);
    } else {
      response.body = "ok";
    }
    if (response.delay.count() > 0 && !Wait(response.delay)) break;
    if (response.close_without_answer || !SendResponse(fd, response)) break;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  open_fds_.erase(fd);
  ::close(fd);
}

}  // namespace lumo::testing
