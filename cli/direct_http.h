// Exchanges the tool sends itself rather than through the library: the upload of a file's bytes
// to the object store with the headers a Signature answer gave (the library only negotiates the
// upload, as for a host), and the sandbox's inspection and fault endpoints. Sent with libcurl on
// Linux (direct_http_curl.cc) and WinHTTP on Windows (direct_http_win.cc), the engines the
// library's own transport uses there.
#ifndef LUMO_CLI_DIRECT_HTTP_H_
#define LUMO_CLI_DIRECT_HTTP_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "trace.h"

namespace lumo::cli {

// The most of an answer that is read unless a request says otherwise: the library's own limit.
inline constexpr uint64_t kDirectAnswerLimit = uint64_t{32} * 1024 * 1024;

struct DirectRequest {
  std::string method = "GET";
  std::string url;
  Headers headers;  // sent as they are, in this order
  // The body: a PUT uploads it (its Content-Length is written for it), a POST posts it.
  std::string body;
  std::string connect_to;                          // a "HOST:PORT:TO_HOST:TO_PORT" route, or empty
  std::chrono::seconds timeout{30};                // for the whole exchange; the tool's --timeout
  uint64_t max_answer_bytes = kDirectAnswerLimit;  // a longer answer ends the exchange
  bool verbose = false;                            // trace the exchange on standard error
  bool show_token = false;
};

struct DirectResult {
  bool answered = false;  // an HTTP answer arrived (of any status)
  long http_status = 0;
  std::string body;
  int error_code = 0;  // the engine's code when nothing arrived (see FailureKindOf)
  std::string error;   // what went wrong when nothing arrived
};

// Blocks until the exchange has ended. Any thread.
DirectResult SendDirect(const DirectRequest& request);

// What an error code of this system's HTTP engine means to a user: libcurl's codes on Linux,
// WinHTTP's on Windows, as the library's transport and SendDirect report them.
enum class FailureKind {
  kRefused,          // nothing listens at the address
  kTimedOut,         // no answer within the time allowed
  kNothingAnswered,  // the server closed the connection without answering
  kCutShort,         // the answer ended before its announced length
  kOther,
};
FailureKind FailureKindOf(int error_code);

}  // namespace lumo::cli

#endif  // LUMO_CLI_DIRECT_HTTP_H_
