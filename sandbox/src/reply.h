// Answers made outside the method handlers: a JSON answer, and a refusal as the sandbox writes
// every refusal, {"error_code": N, "error_msg": "..."}.
#ifndef SANDBOX_SRC_REPLY_H_
#define SANDBOX_SRC_REPLY_H_

#include <string>

#include "exchange.h"
#include "handlers.h"
#include "refusal.h"

namespace lumo::sandbox {

HttpReply JsonReply(const Json& answer, int status = 200);

Json RefusalAnswer(int error_code, const std::string& message);

// RefusalAnswer with the HTTP status RefusalStatus gives its code.
HttpReply RefusalReply(int error_code, const std::string& message);
HttpReply RefusalReply(const Refusal& refusal);
// RefusalAnswer with another status: the endpoint's 200, or what the HTTP reader says.
HttpReply RefusalReply(int error_code, const std::string& message, int status);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_REPLY_H_
