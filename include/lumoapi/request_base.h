// The frame of every call to the service.
//
// A request is constructed by its owner (the host, a task or the report pool), connected to with
// `completed`, started with BeginRequest, and read after `completed` fires: `status` holds the
// service's error code (22000 on success), `succeeded` tells whether the answer was parsed into
// the request's typed result, and the concrete class holds that result in public members.
//
// BeginRequest builds the address (plain, or encrypted and signed when `encrypt_params` is set),
// sends one HTTP GET and returns at once. An answer that parses as JSON completes directly on the
// network thread; so does a non-2xx status whose JSON body has no service error code, with
// `status` the HTTP status and `succeeded` false. A transport failure, a body that is not JSON, or
// an exception while building the address or parsing completes later on the UI thread with
// `succeeded` false. Every call ends with exactly one emission of `completed`.
//
// Threads: construction, BeginRequest and destruction on the UI thread; receivers of `completed`
// must expect it on the UI thread or on the network thread. A request may be deleted on the UI
// thread at any time, also while its answer is being handled on the network thread (the
// destructor waits for that to finish, and `completed` is then not emitted), and from inside a
// receiver of its own `completed`. The UI thread is the one the host bound
// (base::thread::UiLoop::BindToCurrentThread), else the one that made the first request.
//
// A receiver on the network thread may read the request, post to the UI thread (a Dispatcher),
// and on Windows send the UI thread's windows messages (SendMessage): the destructor's wait serves
// them. It must not wait for the UI thread in any other way (an event the UI thread sets, a lock
// the UI thread holds while deleting requests), and must not delete any request but its own.
//
// Example: a player (a sigslot::has_slots<>) asks for a song's play link.
//
//   link_ = std::make_unique<lumoapi::song::GetSongLink>(song, /*down=*/false, L"",
//                                                        /*alt_type=*/false, token);
//   link_->completed.connect(this, &Player::OnLink);
//   link_->BeginRequest();  // returns at once
//
//   void Player::OnLink() {  // on the network thread or the UI thread; may delete link_
//     if (link_->succeeded) Play(link_->GetSongInfo().file_link);
//     else ShowError(link_->Failure().text);  // `status`: the service's code, or the HTTP status
//   }
#ifndef LUMOAPI_REQUEST_BASE_H_
#define LUMOAPI_REQUEST_BASE_H_

#include <cpprest/json.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/thread/dispatcher.h"
#include "lumoapi/call_failure.h"
#include "lumoapi/export.h"
#include "sigslot/sigslot.h"

namespace base::http {
class WinHttpRequest;
}

namespace lumoapi {

// Everything that can be started and completes: single requests and multi-request tasks.
class LUMOAPI_EXPORT RequestRoot : public sigslot::has_slots<sigslot::single_threaded> {
 public:
  RequestRoot();
  ~RequestRoot() override;
  RequestRoot(const RequestRoot&) = delete;
  RequestRoot& operator=(const RequestRoot&) = delete;

  // Emitted once each time the request (or task) has finished, whatever the outcome.
  sigslot::signal0<sigslot::single_threaded> completed;

  virtual void BeginRequest() = 0;  // Starts the request or task; returns at once. UI thread.

  // Why the last call (of a task: its last page, or its page limit) did not succeed; kind kNone
  // when it did, and before the first end. Read it after the end signal, like `status`.
  CallFailure Failure() const;

 protected:
  CallFailure failure_;  // set before each end signal
};

// A request that performs exactly one HTTP call to the service.
class LUMOAPI_EXPORT RequestBase : public RequestRoot {
 public:
  RequestBase();
  ~RequestBase() override;

  // Builds the address and sends the request; returns at once. May be called again once the
  // previous call has completed: a new address and HTTP request are made, results are not
  // cleared. REQUIRES: UI thread.
  void BeginRequest() override;

  // The full address: the endpoint, "method", the common parameters and BuildParams(), plain or
  // (when `encrypt_params` is set) encrypted with a timestamp and a signature.
  std::wstring BuildUrl();

  int32_t status = 0;                   // the HTTP status, then the answer's "error_code"
  bool succeeded = false;               // ParseResult ran to its end for this answer
  std::wstring url;                     // the address sent by the last BeginRequest
  std::wstring response_text;           // the answer body
  base::thread::Dispatcher dispatcher;  // posts failed completions to the UI thread
  std::wstring session_token;           // sent as the cookie "KWTOK=<token>" when not empty
  // The HTTP exchange of the current call.
  std::unique_ptr<base::http::WinHttpRequest> http_request;
  // The call has reached its end. Atomic: the report pool reads it on the UI thread while other
  // reports' answers arrive on the network thread.
  std::atomic<bool> finished{false};
  bool encrypt_params = false;  // selects the encrypted address form

 protected:
  // The service method, such as "norda.lumo.user.down".
  virtual std::wstring GetMethodName() = 0;
  // The request's own parameters as an encoded query text ("a=1&b=2"), or empty.
  virtual std::wstring BuildParams() = 0;
  // Fills the typed result from the answer. May throw a std::exception to fail the call.
  virtual void ParseResult(web::json::value& result) = 0;
  // Sent as "version"; "1.0.0" unless overridden.
  virtual std::wstring GetVersion();
  // Whether a non-22000 `status` still gets parsed: 22469 and 24003 unless overridden.
  virtual bool IsErrorCodeAccepted();
  // Adds request-specific headers to `http_request`; adds nothing unless overridden.
  virtual void SetExtraHeaders();

  // Deletes `http_request` and leaves it empty. If its answer is being handled on the network
  // thread at that moment, waits until that has finished.
  //
  // Every derived class calls this first in its destructor: an answer being handled runs the
  // derived class's ParseResult, and the derived members must outlive it. (RequestBase's own
  // destructor comes too late for that; it logs an error when it finds the HTTP request alive.)
  void StopHttpRequest();

 private:
  void OnHttpCompleted();
  void OnHttpFailed(int code, std::wstring message);
  void FailOnUIThread(std::wstring message);
  // Posts the completion of a failed call to the UI thread.
  void PostFailedCompletion();
  // Emits `completed`, containing any exception a receiver throws.
  void EmitCompleted();
};

}  // namespace lumoapi

#endif  // LUMOAPI_REQUEST_BASE_H_
