// What the service's answer codes mean, for error lines and status lines.
#ifndef LUMO_CLI_SERVICE_CODES_H_
#define LUMO_CLI_SERVICE_CODES_H_

#include <cstdint>
#include <optional>
#include <string>

#include "sandbox/service_codes.h"

namespace lumo::cli {

inline constexpr int kSuccessCode = sandbox::code::kOk;

// A short meaning of `code`, or empty when the code is not known.
std::string ServiceCodeMeaning(int code);

// "service code N (meaning: message)" for an error answer, with the service's own "error_msg"
// from the answer `body` (UTF-8) when it has one.
std::string DescribeServiceError(int64_t code, const std::string& body);

// The numeric "error_code" of the answer `body` (a JSON object), whatever its size or sign;
// nothing when the body is no such object or its code is missing or not an integer. A positive
// code beyond 63 bits reads as the largest 64-bit one: no code of the service, never a success.
std::optional<int64_t> AnswerCode(const std::string& body);

}  // namespace lumo::cli

#endif  // LUMO_CLI_SERVICE_CODES_H_
