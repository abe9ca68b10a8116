#include "support/loopback_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace lumo::testing {
namespace {

constexpr size_t kChunkBytes = size_t{16} * 1024;
// How often a waiting connection looks whether the server stops: the longest a destructor waits
// for one.
constexpr int kStopCheckMs = 20;

#ifdef _WIN32
constexpr int kNoSignal = 0;  // Winsock raises no signal for a closed peer
constexpr int kShutBoth = SD_BOTH;
bool Interrupted() { return WSAGetLastError() == WSAEINTR; }
bool Aborted() { return WSAGetLastError() == WSAECONNRESET; }
void CloseSocket(SOCKET socket) { closesocket(socket); }
int Poll(pollfd* entries, size_t count, int timeout_ms) {
  return WSAPoll(entries, static_cast<ULONG>(count), timeout_ms);
}
bool IsValid(SOCKET socket) { return socket != INVALID_SOCKET; }
#else
constexpr int kNoSignal = MSG_NOSIGNAL;
constexpr int kShutBoth = SHUT_RDWR;
bool Interrupted() { return errno == EINTR; }
bool Aborted() { return errno == ECONNABORTED; }
void CloseSocket(int socket) { ::close(socket); }
int Poll(pollfd* entries, size_t count, int timeout_ms) {
  return ::poll(entries, count, timeout_ms);
}
bool IsValid(int socket) { return socket >= 0; }
#endif

template <class Socket>
bool SendAll(Socket socket, std::string_view data) {
  while (!data.empty()) {
    const int size = static_cast<int>(std::min(data.size(), kChunkBytes));
    const auto sent = ::send(socket, data.data(), size, kNoSignal);
    if (sent < 0 && Interrupted()) continue;
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

// Fills `request` from the head's text.
void ParseHead(std::string_view head, RecordedRequest& request) {
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
}

template <class Socket>
bool SendResponse(Socket socket, const CannedResponse& response) {
  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " Canned\r\n";
  for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
  head += response.chunked ? "Transfer-Encoding: chunked\r\n"
                           : "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
  if (!SendAll(socket, head + "\r\n")) return false;
  if (!response.chunked) return SendAll(socket, response.body);
  for (size_t at = 0; at < response.body.size(); at += kChunkBytes) {
    const std::string_view chunk = std::string_view(response.body).substr(at, kChunkBytes);
    char size[32];
    std::snprintf(size, sizeof(size), "%zx\r\n", chunk.size());
    if (!SendAll(socket, size) || !SendAll(socket, chunk) || !SendAll(socket, "\r\n")) return false;
  }
  return SendAll(socket, "0\r\n\r\n");
}

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::string> RecordedRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameLetters(key, name)) return value;
  }
  return std::nullopt;
}

LoopbackServer::LoopbackServer(Handler handler) : handler_(std::move(handler)) {
#ifdef _WIN32
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  static_cast<void>(started);
  listen_socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
#else
  listen_socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
#endif
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (!IsValid(listen_socket_) ||
      ::bind(listen_socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listen_socket_, SOMAXCONN) != 0 ||
      ::getsockname(listen_socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (IsValid(listen_socket_)) CloseSocket(listen_socket_);
    throw std::runtime_error("loopback server: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  {
    base::thread::MutexLock lock(&mutex_);
    stopping_ = true;
    // Also a connection that is sending to a peer that does not read stops.
    for (const Socket socket : open_sockets_) ::shutdown(socket, kShutBoth);
  }
  // The accept loop and the waiting connections see it within kStopCheckMs; delays are cut
  // short.
  stopping_changed_.notify_all();
  accept_thread_.join();
  CloseSocket(listen_socket_);
  // No thread is added once the accept loop has ended.
  for (std::thread& thread : connection_threads_) thread.join();
}

std::string LoopbackServer::host_port() const { return "127.0.0.1:" + std::to_string(port_); }

std::string LoopbackServer::Url(std::string_view target) const {
  return "http://" + host_port() + std::string(target);
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  base::thread::MutexLock lock(&mutex_);
  return requests_;
}

size_t LoopbackServer::accepted_connections() const {
  base::thread::MutexLock lock(&mutex_);
  return accepted_;
}

bool LoopbackServer::stopping() const {
  base::thread::MutexLock lock(&mutex_);
  return stopping_;
}

bool LoopbackServer::WaitReadable(Socket socket) {
  while (!stopping()) {
    pollfd entry{};
    entry.fd = socket;
    entry.events = POLLIN;
    const int ready = Poll(&entry, 1, kStopCheckMs);
    if (ready > 0) return true;
    if (ready < 0 && !Interrupted()) return false;
  }
  return false;
}

void LoopbackServer::AcceptLoop() {
  while (WaitReadable(listen_socket_)) {
#ifdef _WIN32
    const Socket socket = ::accept(listen_socket_, nullptr, nullptr);
#else
    const Socket socket = ::accept4(listen_socket_, nullptr, nullptr, SOCK_CLOEXEC);
#endif
    if (!IsValid(socket)) {
      if (Interrupted() || Aborted()) continue;
      return;
    }
    const int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                 sizeof(one));
    base::thread::MutexLock lock(&mutex_);
    if (stopping_) {
      CloseSocket(socket);
      return;
    }
    ++accepted_;
    open_sockets_.insert(socket);
    connection_threads_.emplace_back([this, socket] { Serve(socket); });
  }
}

bool LoopbackServer::Wait(std::chrono::milliseconds delay) {
  base::thread::MutexLock lock(&mutex_);
  return !stopping_changed_.wait_for(lock.native(), delay, [this] {
    mutex_.AssertHeld();
    return stopping_;
  });
}

bool LoopbackServer::ReadRequest(Socket socket, std::string& buffer, RecordedRequest& request) {
  size_t head_end;
  while ((head_end = buffer.find("\r\n\r\n")) == std::string::npos) {
    if (!WaitReadable(socket)) return false;
    char chunk[8192];
    const auto received = ::recv(socket, chunk, sizeof(chunk), 0);
    if (received < 0 && Interrupted()) continue;
    if (received <= 0) return false;
    buffer.append(chunk, static_cast<size_t>(received));
  }
  ParseHead(std::string_view(buffer.data(), head_end), request);
  buffer.erase(0, head_end + 4);
  return true;
}

void LoopbackServer::Serve(Socket socket) {
  std::string buffer;
  for (RecordedRequest request; ReadRequest(socket, buffer, request); request = RecordedRequest()) {
    {
      base::thread::MutexLock lock(&mutex_);
      requests_.push_back(request);
    }
    CannedResponse response;
    if (handler_) {
      response = handler_(request);
    } else {
      response.body = "ok";
    }
    if (response.delay.count() > 0 && !Wait(response.delay)) break;
    if (response.close_without_answer || !SendResponse(socket, response)) break;
  }
  base::thread::MutexLock lock(&mutex_);
  open_sockets_.erase(socket);
  CloseSocket(socket);
}

}  // namespace lumo::testing
