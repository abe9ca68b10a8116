#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "loopback_socket.h"

namespace lumo::sandbox::testing {

LoopbackSocket::LoopbackSocket(const std::string& address, uint16_t port,
                               std::chrono::milliseconds timeout)
    : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
  const timeval limit{static_cast<time_t>(seconds.count()),
                      static_cast<suseconds_t>((timeout - seconds).count() * 1000)};
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  const int fd = static_cast<int>(socket_);
  connected_ = fd >= 0 && inet_pton(AF_INET, address.c_str(), &peer.sin_addr) == 1 &&
               ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit)) == 0 &&
               ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit)) == 0 &&
               ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0;
  if (!connected_) error_ = errno;
}

LoopbackSocket::~LoopbackSocket() {
  if (socket_ >= 0) ::close(static_cast<int>(socket_));
}

bool LoopbackSocket::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent =
        ::send(static_cast<int>(socket_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) {
      error_ = errno;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

long LoopbackSocket::Receive(char* buffer, size_t size) {
  const ssize_t received = ::recv(static_cast<int>(socket_), buffer, size, 0);
  if (received < 0) error_ = errno;
  return static_cast<long>(received);
}

bool LoopbackSocket::timed_out() const { return error_ == EAGAIN || error_ == EWOULDBLOCK; }

bool LoopbackSocket::reset() const { return error_ == ECONNRESET; }

SilentListener::SilentListener() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  const int fd = static_cast<int>(socket_);
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::listen(fd, 8) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
  }
}

SilentListener::~SilentListener() {
  if (socket_ >= 0) ::close(static_cast<int>(socket_));
}

}  // namespace lumo::sandbox::testing
