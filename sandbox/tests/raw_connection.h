// A client on a plain socket, for what libcurl will not send: oversized and malformed requests, a
// header whose body never follows, many connections at once. Loopback only; every send and
// receive gives up after a few seconds, so a server that never answers fails the test instead of
// hanging it.
#ifndef SANDBOX_TESTS_RAW_CONNECTION_H_
#define SANDBOX_TESTS_RAW_CONNECTION_H_

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "loopback_socket.h"

namespace lumo::sandbox::testing {

// One answer as read off the wire.
struct RawAnswer {
  int status = 0;    // 0: no complete answer arrived
  std::string head;  // status line and header fields
  std::string body;  // by Content-Length
};

// One connection to 127.0.0.1. Thread-compatible.
class RawConnection {
 public:
  explicit RawConnection(uint16_t port);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  // False when the socket could not be made or connected; `error()` has the system's number then.
  bool connected() const { return socket_.connected(); }
  int error() const { return socket_.error(); }

  // Sends all of `bytes`; false when the peer closed or stopped reading for too long.
  bool Send(std::string_view bytes);
  // Reads one answer. Bytes after it stay for the next call.
  RawAnswer ReadAnswer();
  // Reads until `marker` has arrived and hands over everything up to and including it; false
  // when the connection ends or the time limit passes first. For answers without a length.
  bool ReadThrough(std::string_view marker, std::string* text);
  // True when the server closes the connection (end of stream or reset) before the time limit,
  // discarding whatever it still sends.
  bool PeerCloses();

 private:
  // Appends what one receive brings to `pending_`; false at the end, on an error or a timeout.
  bool Receive(std::chrono::steady_clock::time_point deadline);

  LoopbackSocket socket_;
  std::string pending_;  // received, not yet consumed
};

// "GET / HTTP/1.1" style request text with a Host header (none when `host` is empty), the
// given extra header lines (each without its line end) and the body.
std::string RequestText(std::string_view verb, std::string_view target,
                        std::string_view extra_headers = "", std::string_view body = "",
                        std::string_view host = "127.0.0.1");
// The Host value that names the sandbox on `port`, as its inspection endpoints require.
std::string LoopbackHost(uint16_t port);

}  // namespace lumo::sandbox::testing

#endif  // SANDBOX_TESTS_RAW_CONNECTION_H_
