#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace lumo::testing {
namespace {

constexpr size_t kMaxHeadBytes = size_t{64} * 1024;
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

// Appends what arrives on `fd` to `buffer`; false on end of stream or error.
bool ReceiveSome(int fd, std::string& buffer) {
  char chunk[8192];
  for (;;) {
    const ssize_t received = ::recv(fd, chunk, sizeof(chunk), 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(received));
    return true;
  }
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 204:
      return "No Content";
    case 301:
      return "Moved Permanently";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 500:
      return "Internal Server Error";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

bool WantsClose(const std::optional<std::string>& connection_header) {
  return connection_header && ::strcasecmp(connection_header->c_str(), "close") == 0;
}

std::string Hex(size_t n) {
  char text[32];
  std::snprintf(text, sizeof(text), "%zx", n);
  return text;
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
  if (listen_fd_ < 0) throw std::runtime_error("loopback server: socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listen_fd_, SOMAXCONN) != 0 ||
      ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listen_fd_);
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

void LoopbackServer::SetHandler(Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handler_ = std::move(handler);
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
    const size_t connection = ++accepted_;
    open_fds_.insert(fd);
    connection_threads_.emplace_back([this, fd, connection] { Serve(fd, connection); });
  }
}

bool LoopbackServer::ReadRequest(int fd, std::string& buffer, RecordedRequest& request) {
  size_t head_end;
  while ((head_end = buffer.find("\r\n\r\n")) == std::string::npos) {
    if (buffer.size() > kMaxHeadBytes || !ReceiveSome(fd, buffer)) return false;
  }
  std::string_view head(buffer.data(), head_end);
  size_t line_end = head.find("\r\n");
  request.request_line = std::string(head.substr(0, line_end));
  const size_t first_space = request.request_line.find(' ');
  const size_t second_space = request.request_line.find(' ', first_space + 1);
  request.method = request.request_line.substr(0, first_space);
  request.target = request.request_line.substr(first_space + 1, second_space - first_space - 1);
  size_t content_length = 0;
  while (line_end != std::string_view::npos) {
    head.remove_prefix(line_end + 2);
    line_end = head.find("\r\n");
    const std::string_view line = head.substr(0, line_end);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(std::string(line.substr(0, colon)),
                                 std::string(Trim(line.substr(colon + 1))));
  }
  if (auto length = request.Header("Content-Length")) {
    content_length = std::strtoul(length->c_str(), nullptr, 10);
  }
  buffer.erase(0, head_end + 4);
  while (buffer.size() < content_length) {
    if (!ReceiveSome(fd, buffer)) return false;
  }
  request.body = buffer.substr(0, content_length);
  buffer.erase(0, content_length);
  return true;
}

bool LoopbackServer::Wait(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !stopping_changed_.wait_for(lock, delay, [this] { return stopping_; });
}

void LoopbackServer::Serve(int fd, size_t connection) {
  std::string buffer;
  for (;;) {
    RecordedRequest request;
    request.connection = connection;
    if (!ReadRequest(fd, buffer, request)) break;
    Handler handler;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
      handler = handler_;
    }
    CannedResponse response;
    if (handler) {
      response = handler(request);
    } else {
      response.body = "ok";
    }
    if (response.delay.count() > 0 && !Wait(response.delay)) break;
    if (response.close_without_answer) break;

    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       ReasonPhrase(response.status) + "\r\n";
    for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
    head += response.chunked ? "Transfer-Encoding: chunked\r\n"
                             : "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    head += "\r\n";
    bool sent = SendAll(fd, head);
    if (response.chunked) {
      for (size_t at = 0; sent && at < response.body.size(); at += kChunkBytes) {
        const std::string_view chunk = std::string_view(response.body).substr(at, kChunkBytes);
        sent = SendAll(fd, Hex(chunk.size()) + "\r\n") && SendAll(fd, chunk) && SendAll(fd, "\r\n");
      }
      sent = sent && SendAll(fd, "0\r\n\r\n");
    } else {
      sent = sent && SendAll(fd, response.body);
    }
    if (!sent || WantsClose(request.Header("Connection"))) break;
    bool close_after = false;
    for (const auto& [name, value] : response.headers) {
      close_after |= ::strcasecmp(name.c_str(), "Connection") == 0 && WantsClose(value);
    }
    if (close_after) break;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  open_fds_.erase(fd);
  ::close(fd);
}

}  // namespace lumo::testing
