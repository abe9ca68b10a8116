// The upload of a file's bytes to the object store, with the headers a Signature answer gave.
// The library only negotiates the upload; the tool sends it itself, as a host would.
#ifndef LUMO_CLI_OBJECT_STORE_H_
#define LUMO_CLI_OBJECT_STORE_H_

#include <cstdint>
#include <string>

#include "trace.h"

namespace lumo::cli {

struct PutRequest {
  std::string url;         // "http://<store host>/<object>"
  Headers headers;         // sent as they are, in this order
  std::string path;        // the file whose bytes are the body
  uint64_t size = 0;       // its length
  std::string connect_to;  // curl's "HOST:PORT:TO_HOST:TO_PORT" route, or empty
  bool verbose = false;    // trace the exchange on standard error
};

struct PutResult {
  bool answered = false;  // an HTTP answer arrived (of any status)
  long http_status = 0;
  std::string body;
  std::string error;  // what went wrong when nothing arrived
};

// Blocks until the upload has ended. Any thread.
PutResult PutFile(const PutRequest& request);

}  // namespace lumo::cli

#endif  // LUMO_CLI_OBJECT_STORE_H_
