#include "service_codes.h"

#include <cpprest/json.h>

#include <limits>

#include "report.h"

namespace lumo::cli {

std::string ServiceCodeMeaning(int code) {
  // The sandbox's table; the real service shares the codes of its own calls.
  const sandbox::ServiceCode* row = sandbox::FindServiceCode(code);
  return row ? row->meaning : std::string();
}

std::string DescribeServiceError(int64_t code, const std::string& body) {
  std::string meaning =
      code >= std::numeric_limits<int>::min() && code <= std::numeric_limits<int>::max()
          ? ServiceCodeMeaning(static_cast<int>(code))
          : std::string();
  try {
    const web::json::value answer = web::json::value::parse(body);
    if (answer.is_object() && answer.has_string_field(U("error_msg"))) {
      meaning += (meaning.empty() ? "" : ": ") + Utf8(answer.at(U("error_msg")).as_string());
    }
  } catch (const std::exception&) {
    // No explanation to add.
  }
  return "service code " + std::to_string(code) + (meaning.empty() ? "" : " (" + meaning + ")");
}

std::optional<int64_t> AnswerCode(const std::string& body) {
  try {
    const web::json::value answer = web::json::value::parse(body);
    if (!answer.is_object() || !answer.has_number_field(U("error_code"))) return std::nullopt;
    const web::json::number& code = answer.at(U("error_code")).as_number();
    if (code.is_int64()) return code.to_int64();
    if (code.is_uint64()) return std::numeric_limits<int64_t>::max();
  } catch (const std::exception&) {
    // Not a JSON answer.
  }
  return std::nullopt;
}

}  // namespace lumo::cli
