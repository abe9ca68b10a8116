// The seam between the two halves of the default transport: the platform-neutral core
// (transport_core.h: admission per host, the waiting queue, deadlines, the body cap, cancellation,
// routes and proxies, delivery) and a driver, the platform's HTTP engine (curl_transport.cc:
// libcurl's multi interface; winhttp_transport.cc: WinHTTP's asynchronous interface).
//
// The core owns the one network thread and calls a driver from it alone, except for Wake. A
// polled engine (libcurl) moves its transfers in Perform and sleeps in Wait. An engine that calls
// back on threads of its own queues what its callbacks report, hands it over in Perform, and waits
// in Wait on a condition variable that its callbacks and Wake signal; its callbacks never call the
// core.
#ifndef HOST_SRC_TRANSPORT_TRANSPORT_DRIVER_H_
#define HOST_SRC_TRANSPORT_TRANSPORT_DRIVER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "base/http/transport.h"

namespace base::http::internal {

using ExchangeId = Transport::ExchangeId;

// Parallel connections the engine may open to one host; further exchanges wait in the engine for
// a free one. A desktop client has no use for more, and it keeps a burst of calls from opening a
// socket each.
constexpr long kMaxHostConnections = 16;

// Exchanges to one host (scheme and authority) attached to the engine at a time: those beyond the
// connection cap wait in the engine for a connection, those beyond this wait in the core as a
// start command (a few hundred bytes, not an engine's transfer of several kilobytes).
constexpr size_t kMaxAttachedPerHost = 64;

// A SetConnectTo route that covers an exchange's address.
struct Route {
  std::string from;  // the address's "host:port" as written in it, the scheme's port if it has none
  std::string to;    // the "host:port" to connect to instead; the address and Host header stay
};

// How an exchange reaches its host, fixed when it starts.
struct ProxyChoice {
  // Never through a proxy (a routed host: a test or sandbox address that no proxy may see);
  // `url` and `no_proxy` are then empty.
  bool direct = false;
  std::string url;       // SetProxy's; empty: the platform's own (libcurl: the environment's)
  std::string no_proxy;  // SetNoProxy's; empty: the platform's own
};

// The body of one exchange, collected up to its cap. The core owns it; the driver appends to it
// from Attach until it reports the exchange finished or Detach returns, from one thread at a time
// (any thread, if the driver orders those accesses before its report).
class BodySink {
 public:
  explicit BodySink(size_t max_bytes) : max_bytes_(max_bytes) {}
  BodySink(const BodySink&) = delete;
  BodySink& operator=(const BodySink&) = delete;

  // Appends `size` bytes. False, keeping none of them, when they would take the body over the
  // cap: the driver then stops the transfer and reports it finished, and the core fails it as too
  // large whatever the report says.
  bool Append(const char* data, size_t size) {
    if (size > max_bytes_ - bytes_.size()) {
      too_large_ = true;
      return false;
    }
    bytes_.append(data, size);
    return true;
  }
  // The answer announced a length over the cap; the exchange fails as too large.
  void MarkTooLarge() { too_large_ = true; }

  size_t max_bytes() const { return max_bytes_; }
  bool too_large() const { return too_large_; }
  std::string TakeBytes() { return std::move(bytes_); }

 private:
  std::string bytes_;
  size_t max_bytes_;
  bool too_large_ = false;
};

// What the core hands the driver for one exchange. The pointers are valid during Attach, except
// `body`, which is valid as BodySink says.
struct Attachment {
  ExchangeId id = 0;
  const TransportRequest* request = nullptr;
  const Route* route = nullptr;  // null: connect to the address's own host and port
  const ProxyChoice* proxy = nullptr;
  // As SetTransportLimits gave it, for an engine that keeps it (see DriverErrors).
  int64_t connect_timeout_ms = 0;
  // What is left of the total timeout, which counts from Start and which the core keeps; 0 for
  // none. For an engine whose phases have limits of their own, so that none ends sooner.
  int64_t total_timeout_ms = 0;
  BodySink* body = nullptr;
};

// The codes and texts in which a driver names the failures that the core decides, and what the
// core keeps for it.
struct DriverErrors {
  int timed_out = 0;  // a time limit passed: the total (the core keeps it), or the connect budget
  std::string timed_out_text;
  int body_too_large = 0;  // the body went over the cap
  // The driver reports each exchange connected (DriverEvents::Connected), and the core keeps the
  // connect budget from Attach on, name lookup and connect together; else the engine keeps it.
  bool reports_connects = false;
};

// Where Perform reports. Network thread only.
class DriverEvents {
 public:
  // The exchange ended: `result.ok` with its status (the body is in its BodySink), or a failure
  // with the driver's code and text. Reported once per attached exchange, and never after Detach.
  virtual void Finished(ExchangeId id, TransportResult result) = 0;
  // The exchange has its connection (a driver with DriverErrors::reports_connects). Once at most.
  virtual void Connected(ExchangeId id) = 0;

 protected:
  ~DriverEvents() = default;
};

// The platform's HTTP engine under the core. Owned by the core; every member runs on the
// network thread except Wake and the destructor. The destructor runs after the network thread has
// ended (or never, when the process ends inside a callback) and with nothing attached.
class TransportDriver {
 public:
  virtual ~TransportDriver() = default;

  // Read once, when the core is made (any thread).
  virtual DriverErrors Errors() const = 0;

  // Hands the exchange to the engine. False when the engine cannot take it, with `failure` filled
  // in (`ok` false): the core delivers that, and nothing of the exchange is reported later.
  virtual bool Attach(const Attachment& attachment, TransportResult& failure) = 0;

  // Takes an attached exchange out of the engine (it was cancelled, or the core shuts down). Once
  // it returns, the driver reports nothing of it and no longer touches its BodySink.
  virtual void Detach(ExchangeId id) = 0;

  // Moves the engine's exchanges along without blocking, and reports each one that ended.
  virtual void Perform(DriverEvents& events) = 0;

  // Sleeps until the engine has work for Perform, Wake is called, or `timeout_ms` passes. A Wake
  // since the previous Wait returned makes it return at once.
  virtual void Wait(int timeout_ms) = 0;

  // Any thread: ends the Wait in progress, or the next one.
  virtual void Wake() = 0;

  // Lets go of what the engine keeps between exchanges (WinHTTP's sessions) and returns once none
  // of its callbacks can run any more; the next Attach takes it up again. With nothing attached,
  // when the network thread ends for now.
  virtual void Release() {}
};

// The platform's engine for the default transport: libcurl's (curl_transport.cc) or WinHTTP's
// (winhttp_transport.cc).
std::unique_ptr<TransportDriver> NewPlatformDriver();

// Whether the process's transport stops its network thread when the library's static objects are
// destroyed at exit. Not on Windows: a DLL's are destroyed after the process's other threads have
// been ended, and waiting for one of them then never returns.
bool StopsNetworkThreadAtExit();

}  // namespace base::http::internal

#endif  // HOST_SRC_TRANSPORT_TRANSPORT_DRIVER_H_
