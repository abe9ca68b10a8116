// The upload of a file's bytes to the object store, as a signature answer authorises it. The
// answer is the service's word, and the tool checks it before anything goes out: a header value
// that could end the line it is on, a length other than the file's, a host other than the object
// store's, or an object name that climbs out of the bucket are refused.
#ifndef LUMO_CLI_STORE_PUT_H_
#define LUMO_CLI_STORE_PUT_H_

#include <cstdint>
#include <string>
#include <variant>

#include "direct_http.h"

namespace lumo::cli {

// What a signature answer gives for one PUT (UTF-8).
struct SignedPut {
  std::string host;
  std::string object;
  uint64_t content_length = 0;
  std::string content_type;
  std::string date;
  std::string authorization;
};

// The most of the store's answer that is read; it is a short status document.
inline constexpr uint64_t kStoreAnswerLimit = uint64_t{64} * 1024;

// The PUT of `bytes` to http://`store_host`/OBJECT through `route` (libcurl's CONNECT_TO route of
// the store's host; required, so that the store's name is never looked up), with the object name
// percent-encoded as a path and the signed headers. Or, when the answer cannot be trusted with
// that, why not (one line, naming what was wrong).
std::variant<DirectRequest, std::string> MakeStorePut(const SignedPut& signed_put,
                                                      std::string bytes,
                                                      const std::string& store_host,
                                                      const std::string& route);

// `object` as the path of an address: every byte but letters, digits, "-._~" and "/" as %XX.
// Empty when the name is empty or has an empty, "." or ".." segment.
std::string ObjectPath(const std::string& object);

}  // namespace lumo::cli

#endif  // LUMO_CLI_STORE_PUT_H_
