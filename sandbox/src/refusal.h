// The exception that carries a refusal from deep inside a check or a handler to the one place
// that turns it into an answer, with the code it carries (sandbox/service_codes.h).
#ifndef SANDBOX_SRC_REFUSAL_H_
#define SANDBOX_SRC_REFUSAL_H_

#include <stdexcept>
#include <string>

#include "sandbox/service_codes.h"

namespace lumo::sandbox {

// The HTTP status a refusal is answered with by everything but the service's endpoint, which
// answers its refusals with 200 as the service does: the object store, the inspection endpoints
// and the server itself.
constexpr int RefusalStatus(int error_code) {
  const ServiceCode* row = FindServiceCode(error_code);
  return row ? row->http_status : 400;
}

// Thrown by checks and handlers; the service turns it into {"error_code", "error_msg"}.
class Refusal : public std::runtime_error {
 public:
  Refusal(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_REFUSAL_H_
