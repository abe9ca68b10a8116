// Plain TCP sockets on loopback for the tests that speak HTTP by hand, over POSIX sockets
// (loopback_socket_posix.cc) or Winsock (loopback_socket_win.cc).
#ifndef SANDBOX_TESTS_LOOPBACK_SOCKET_H_
#define SANDBOX_TESTS_LOOPBACK_SOCKET_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumo::sandbox::testing {

// One connection. Thread-compatible.
class LoopbackSocket {
 public:
  // Connects to `address` (an IPv4 literal) and `port`; each send and receive afterwards gives
  // up after `timeout`.
  LoopbackSocket(const std::string& address, uint16_t port, std::chrono::milliseconds timeout);
  ~LoopbackSocket();
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  bool connected() const { return connected_; }
  // The system's number for the last failure (errno, or Winsock's error).
  int error() const { return error_; }

  // Sends all of `bytes` (never raising SIGPIPE); false when the peer closed or stopped reading
  // for too long.
  bool Send(std::string_view bytes);
  // Up to `size` bytes into `buffer`: how many, 0 at the end of the stream, -1 on a failure.
  long Receive(char* buffer, size_t size);
  // What the last failure was.
  bool timed_out() const;
  bool reset() const;

 private:
  intptr_t socket_;  // a descriptor, or a SOCKET
  bool connected_ = false;
  int error_ = 0;
};

// A socket listening on a free port of 127.0.0.1 that never accepts: connections complete and
// then wait. Thread-compatible.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  // 0 when no socket could listen.
  uint16_t port() const { return port_; }

 private:
  intptr_t socket_;
  uint16_t port_ = 0;
};

}  // namespace lumo::sandbox::testing

#endif  // SANDBOX_TESTS_LOOPBACK_SOCKET_H_
