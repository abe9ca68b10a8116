// Exchanges the tool sends itself rather than through the library: the upload of a file's bytes
// to the object store with the headers a Signature answer gave (the library only negotiates the
// upload, as for a host), and the sandbox's inspection and fault endpoints.
#ifndef LUMO_CLI_DIRECT_HTTP_H_
#define LUMO_CLI_DIRECT_HTTP_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "trace.h"

namespace lumo::cli {

// How long an upload may take in all; longer than the service's limit.
inline constexpr std::chrono::seconds kUploadTimeout{120};

struct DirectRequest {
  std::string method = "GET";
  std::string url;
  Headers headers;         // sent as they are, in this order
  std::string body;        // the body, unless `path` is given
  std::string path;        // a file whose bytes are the body
  uint64_t size = 0;       // its length
  std::string connect_to;  // curl's "HOST:PORT:TO_HOST:TO_PORT" route, or empty
  std::chrono::seconds timeout = kUploadTimeout;  // for the whole exchange
  bool verbose = false;                           // trace the exchange on standard error
  bool show_token = false;
};

struct DirectResult {
  bool answered = false;  // an HTTP answer arrived (of any status)
  long http_status = 0;
  std::string body;
  int error_code = 0;  // libcurl's code when nothing arrived
  std::string error;   // what went wrong when nothing arrived
};

// Blocks until the exchange has ended. Any thread.
DirectResult SendDirect(const DirectRequest& request);

}  // namespace lumo::cli

#endif  // LUMO_CLI_DIRECT_HTTP_H_
