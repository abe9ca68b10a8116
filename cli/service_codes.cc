#include "service_codes.h"

#include <cpprest/json.h>

#include <limits>
#include <map>

namespace lumo::cli {

std::string ServiceCodeMeaning(int code) {
  // The codes the sandbox documents; the real service shares the first group.
  static const std::map<int, const char*> kMeanings = {
      {22000, "success"},
      {22001, "no collected songs on this page"},
      {22231, "stored, the description was shortened"},
      {22322, "already a favourite"},
      {22469, "the song must be bought"},
      {24003, "the song is not available"},
      {40001, "missing or unknown method"},
      {40002, "wrong common parameter"},
      {40003, "signature does not match"},
      {40004, "timestamp missing or out of the accepted window"},
      {40005, "encrypted parameters missing or undecryptable"},
      {40006, "no session token"},
      {40007, "wrong user agent"},
      {40008, "missing parameter"},
      {40009, "unexpected parameter"},
      {40010, "invalid parameter value"},
      {40011, "unknown session token"},
      {40012, "missing computer id header"},
      {40013, "malformed query"},
      {40014, "wrong address form for this method"},
      {40015, "session cookie not expected here"},
      {40016, "encrypted copy of the lookup does not match"},
      {40017, "token parameter differs from the session cookie"},
      {40404, "unknown path"},
      {40405, "verb not allowed on this path"},
      {41001, "no such song"},
      {41002, "no such song list"},
      {41003, "the song list belongs to another user"},
      {41004, "the song list would exceed 500 songs"},
      {41005, "no such artist"},
      {41006, "no such album"},
      {41007, "no such radio channel"},
      {41008, "no such scene"},
      {41009, "the new order is not exactly the list's songs"},
      {41010, "the list is not among the user's favourites"},
      {41011, "the file is not in the object store yet"},
      {41012, "MD5 differs from the stored file"},
      {41013, "the cloud is full"},
      {42001, "no upload grant for this object"},
      {42002, "upload grant already used"},
      {42003, "upload grant expired"},
      {42004, "upload header differs from the grant"},
      {42005, "upload length differs from the grant"},
      {42006, "upload MD5 differs from the grant"},
      {42007, "no such object"},
      {43001, "fault rule not valid"},
      {43002, "no such fault rule"},
      {50001, "storage failure in the service"},
  };
  auto found = kMeanings.find(code);
  return found == kMeanings.end() ? std::string() : found->second;
}

std::string DescribeServiceError(int64_t code, const std::string& body) {
  std::string meaning =
      code >= std::numeric_limits<int>::min() && code <= std::numeric_limits<int>::max()
          ? ServiceCodeMeaning(static_cast<int>(code))
          : std::string();
  try {
    const web::json::value answer = web::json::value::parse(body);
    if (answer.is_object() && answer.has_string_field("error_msg")) {
      meaning += (meaning.empty() ? "" : ": ") + answer.at("error_msg").as_string();
    }
  } catch (const std::exception&) {
    // No explanation to add.
  }
  return "service code " + std::to_string(code) + (meaning.empty() ? "" : " (" + meaning + ")");
}

std::optional<int64_t> AnswerCode(const std::string& body) {
  try {
    const web::json::value answer = web::json::value::parse(body);
    if (!answer.is_object() || !answer.has_number_field("error_code")) return std::nullopt;
    const web::json::number& code = answer.at("error_code").as_number();
    if (code.is_int64()) return code.to_int64();
    if (code.is_uint64()) return std::numeric_limits<int64_t>::max();
  } catch (const std::exception&) {
    // Not a JSON answer.
  }
  return std::nullopt;
}

}  // namespace lumo::cli
