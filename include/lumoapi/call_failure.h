// Why a call did not succeed, as the host reads it with Failure() after a request's or a task's
// end signal (lumoapi/request_base.h).
#ifndef LUMOAPI_CALL_FAILURE_H_
#define LUMOAPI_CALL_FAILURE_H_

#include <cstdint>
#include <string>

namespace lumoapi {

// Why a call, or a task's run, did not succeed: what `status` and `succeeded` cannot tell. The
// host reads it with Failure() after the end signal, to show or log the reason.
//
// | Kind               | When                           | Text, for example                     |
// |--------------------|--------------------------------|---------------------------------------|
// | kNone              | accepted and parsed            | (empty)                               |
// | kConnectionRefused | refused or unreachable         | "connection refused"                  |
// | kTimeout           | a transport time limit passed  | "timed out after 30 s"                |
// | kBodyTooLarge      | longer than the body limit     | "the answer is larger than 32 MiB"    |
// | kTransport         | other transport failures       | "transport error 52: ..."             |
// | kHttpStatus        | non-2xx without a service code | "HTTP 502"                            |
// | kNotJson           | a 2xx answer that is not JSON  | "the answer is not JSON"              |
// | kServiceCode       | a code the class refuses       | "service error 40011"                 |
// | kParseError        | its parser failed on 22000     | "the answer could not be read: ..."   |
// | kNotBuilt          | no address from the arguments  | "the request could not be built: ..." |
// | kPageCap           | a task stopped at 10,000 pages | "stopped after 10000 pages"           |
//
// `http_status` is set whenever an answer arrived, `service_code` whenever its "error_code" was
// read (kNone, kServiceCode, kParseError, and kPageCap from the last page), `transport_code` for
// the four transport kinds; a field not set is 0. The transport codes are those of the host's
// transport: libcurl's for the default one (7 no connection, 28 timeout, 63 body too large). The
// text is for a log or a message box; it never holds the session token.
struct CallFailure {
  // What kind of failure; see the table above.
  enum class Kind {
    kNone,               // the answer was accepted and parsed
    kConnectionRefused,  // the transport could not connect: refused, or the address unreachable
    kTimeout,            // the transport's connect or total time limit passed
    kBodyTooLarge,       // the answer is longer than the transport takes (32 MiB by default)
    kTransport,          // another transport failure: the connection dropped, the answer cut short
    kHttpStatus,         // a status outside 200-299 whose body is not JSON or has no "error_code"
    kNotJson,            // a status of 200-299 whose body is not JSON (or nested too deep)
    kServiceCode,        // an "error_code" the class does not accept, or one its parser rejects
    kParseError,         // the class's parser failed on an answer of code 22000
    kNotBuilt,           // the address could not be built from the arguments; nothing was sent
    kPageCap,            // a task's run stopped after 10,000 pages while the service had more
  };

  Kind kind = Kind::kNone;   // see the table above
  int32_t http_status = 0;   // the answer's HTTP status
  int32_t service_code = 0;  // the answer's "error_code" (22000 when it has none)
  int transport_code = 0;    // the transport's error code
  std::wstring text;         // what went wrong, in short English; empty for kNone
};

}  // namespace lumoapi

#endif  // LUMOAPI_CALL_FAILURE_H_
