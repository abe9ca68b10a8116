// What the service's answer codes mean, for error lines and status lines.
#ifndef LUMO_CLI_SERVICE_CODES_H_
#define LUMO_CLI_SERVICE_CODES_H_

#include <string>

namespace lumo::cli {

inline constexpr int kSuccessCode = 22000;

// A short meaning of `code`, or empty when the code is not known.
std::string ServiceCodeMeaning(int code);

// "service code N (meaning: message)" for an error answer, with the service's own "error_msg"
// from the answer `body` (UTF-8) when it has one.
std::string DescribeServiceError(int code, const std::string& body);

// Whether `status` of a finished request holds a code of the service (as opposed to nothing, or
// the HTTP status of an answer that carried no code).
bool IsServiceCode(int status);

}  // namespace lumo::cli

#endif  // LUMO_CLI_SERVICE_CODES_H_
