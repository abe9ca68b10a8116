// One HTTP exchange, the way the library sends every call to the service.
//
// Ownership: owned by whoever made it with `new` (a request of the library). Threads: Open,
// SetRequestHeader, Send and the destructor on one thread at a time (normally the UI thread); the
// two signals are emitted on the transport's network thread. Exactly one of them fires per Send.
//
// Deleting the object stops the exchange, and no signal fires after the destructor returns: if
// the network thread is inside an emission of this object at that moment, the destructor waits for
// it to end, unless the destructor runs inside that very emission (it may be deleted from inside
// its own signal).
#ifndef BASE_HTTP_WIN_HTTP_REQUEST_H_
#define BASE_HTTP_WIN_HTTP_REQUEST_H_

#include <cstdint>
#include <memory>
#include <string>

#include "base/export.h"
#include "base/http/transport.h"
#include "sigslot/sigslot.h"

namespace base::http {

// One HTTP exchange; see the file comment.
class LUMOHOST_EXPORT WinHttpRequest {
 public:
  WinHttpRequest();
  virtual ~WinHttpRequest();
  WinHttpRequest(const WinHttpRequest&) = delete;
  WinHttpRequest& operator=(const WinHttpRequest&) = delete;

  // Prepares the exchange; nothing is sent yet. The two flags are accepted for compatibility and
  // have no effect here.
  void Open(std::wstring method, std::wstring url, bool async, bool flag2);
  // REQUIRES: after Open, before Send.
  void SetRequestHeader(std::wstring name, std::wstring value);
  // Starts the exchange and returns at once. `flags` is ignored. A second Send is ignored.
  void Send(unsigned int flags);

  // Valid once response_completed has fired.
  int32_t GetStatus() const;
  std::wstring GetResponseText() const;  // the body decoded as UTF-8
  // The body as the bytes that arrived (GetResponseText is their UTF-8 decoding).
  const std::string& GetResponseBody() const;
  // True once the destructor has begun. A receiver running on the network thread while the
  // object is deleted on another one sees it, and should not report an answer nobody waits for.
  bool IsBeingDeleted() const;

  // Emitted when an answer arrived, with any HTTP status.
  sigslot::signal0<sigslot::single_threaded> response_completed;
  // Emitted when the exchange failed, with the transport error code and its text.
  sigslot::signal2<int, std::wstring, sigslot::single_threaded> request_failed;

 private:
  struct Core;

  void OnResult(TransportResult result);

  std::shared_ptr<Transport> transport_;
  TransportRequest request_;
  Transport::ExchangeId exchange_ = 0;
  bool sent_ = false;
  int32_t status_ = 0;
  std::string body_;
  std::shared_ptr<Core> core_;
};

}  // namespace base::http

#endif  // BASE_HTTP_WIN_HTTP_REQUEST_H_
