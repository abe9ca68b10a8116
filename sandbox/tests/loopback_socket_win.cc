#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "loopback_socket.h"

namespace lumo::sandbox::testing {
namespace {

// Winsock is started once for the process and left running until it ends.
SOCKET NewSocket() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
}

SOCKET AsSocket(intptr_t socket) { return static_cast<SOCKET>(socket); }

}  // namespace

LoopbackSocket::LoopbackSocket(const std::string& address, uint16_t port,
                               std::chrono::milliseconds timeout)
    : socket_(static_cast<intptr_t>(NewSocket())) {
  const auto limit = static_cast<DWORD>(timeout.count());
  const auto* option = reinterpret_cast<const char*>(&limit);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  const SOCKET socket = AsSocket(socket_);
  connected_ = socket != INVALID_SOCKET &&
               inet_pton(AF_INET, address.c_str(), &peer.sin_addr) == 1 &&
               setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, option, sizeof(limit)) == 0 &&
               setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, option, sizeof(limit)) == 0 &&
               ::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) == 0;
  if (!connected_) error_ = WSAGetLastError();
}

LoopbackSocket::~LoopbackSocket() {
  if (AsSocket(socket_) != INVALID_SOCKET) closesocket(AsSocket(socket_));
}

bool LoopbackSocket::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const int chunk = static_cast<int>(std::min<size_t>(bytes.size(), size_t{1} << 20));
    const int sent = ::send(AsSocket(socket_), bytes.data(), chunk, 0);
    if (sent <= 0) {
      error_ = WSAGetLastError();
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

long LoopbackSocket::Receive(char* buffer, size_t size) {
  const int wanted = static_cast<int>(std::min<size_t>(size, size_t{1} << 20));
  const int received = ::recv(AsSocket(socket_), buffer, wanted, 0);
  if (received < 0) error_ = WSAGetLastError();
  return received;
}

bool LoopbackSocket::timed_out() const { return error_ == WSAETIMEDOUT; }

bool LoopbackSocket::reset() const { return error_ == WSAECONNRESET || error_ == WSAECONNABORTED; }

SilentListener::SilentListener() : socket_(static_cast<intptr_t>(NewSocket())) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  const SOCKET socket = AsSocket(socket_);
  if (socket != INVALID_SOCKET &&
      ::bind(socket, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::listen(socket, 8) == 0 &&
      ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
  }
}

SilentListener::~SilentListener() {
  if (AsSocket(socket_) != INVALID_SOCKET) closesocket(AsSocket(socket_));
}

}  // namespace lumo::sandbox::testing
