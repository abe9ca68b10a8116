// A small HTTP/1.1 server on 127.0.0.1 for tests of the real transport: it records what arrives
// and answers with whatever the test's handler returns, with keep-alive. Requests carry no body.
// POSIX sockets, or Winsock on Windows.
#ifndef TESTS_SUPPORT_LOOPBACK_SERVER_H_
#define TESTS_SUPPORT_LOOPBACK_SERVER_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/thread/mutex.h"

namespace lumo::testing {

struct RecordedRequest {
  std::string request_line;  // e.g. "GET /path?a=1 HTTP/1.1"
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;  // as received, in order

  // The value of the first header called `name` (any letter case).
  std::optional<std::string> Header(std::string_view name) const;
};

struct CannedResponse {
  int status = 200;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  // Content-Length is added
  std::chrono::milliseconds delay{0};                        // waits this long before answering
  bool close_without_answer = false;  // closes the connection instead of answering
  bool chunked = false;               // chunked transfer encoding instead of Content-Length
};

// Listens on 127.0.0.1 on a free port from construction to destruction; the destructor closes
// every connection (cutting delays short) and joins its threads. Every method: any thread. The
// handler runs on the server's connection threads, possibly on several at once.
class LoopbackServer {
 public:
  using Handler = std::function<CannedResponse(const RecordedRequest&)>;

  // Without a handler every request is answered 200 with the body "ok".
  explicit LoopbackServer(Handler handler = nullptr);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::string host_port() const;                   // "127.0.0.1:<port>"
  std::string Url(std::string_view target) const;  // "http://127.0.0.1:<port>" + target

  std::vector<RecordedRequest> requests() const;
  size_t accepted_connections() const;

 private:
#ifdef _WIN32
  using Socket = uintptr_t;  // a SOCKET
#else
  using Socket = int;
#endif

  void AcceptLoop();
  void Serve(Socket socket);
  // Reads one request head into `request`, keeping surplus bytes in `buffer`; false when the
  // connection ends or the server stops first.
  bool ReadRequest(Socket socket, std::string& buffer, RecordedRequest& request);
  // Waits until `socket` has something to read (true) or the server stops (false).
  bool WaitReadable(Socket socket);
  // Waits `delay` unless the server stops first; false when it stops.
  bool Wait(std::chrono::milliseconds delay);
  bool stopping() const;

  const Handler handler_;
  Socket listen_socket_;
  uint16_t port_ = 0;
  std::thread accept_thread_;

  mutable base::thread::Mutex mutex_;
  std::condition_variable stopping_changed_;
  bool stopping_ GUARDED_BY(mutex_) = false;
  std::vector<RecordedRequest> requests_ GUARDED_BY(mutex_);
  size_t accepted_ GUARDED_BY(mutex_) = 0;
  std::set<Socket> open_sockets_ GUARDED_BY(mutex_);
  std::list<std::thread> connection_threads_ GUARDED_BY(mutex_);
};

}  // namespace lumo::testing

#endif  // TESTS_SUPPORT_LOOPBACK_SERVER_H_
