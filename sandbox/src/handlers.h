// The method handlers and what they share: the router from method name to handler, readers of
// parameter values that refuse what the service would refuse, and JSON helpers.
#ifndef SANDBOX_SRC_HANDLERS_H_
#define SANDBOX_SRC_HANDLERS_H_

#include <cpprest/json.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "protocol.h"

namespace lumo::sandbox {

class Db;
class Query;

using Json = web::json::value;

// What a handler gets besides the call: the database (inside the call's transaction) and the
// server's clock, read once per request.
struct HandlerContext {
  Db& db;
  int64_t now;  // seconds since the epoch
};

// Returns the whole answer, "error_code" included. Throws Refusal for a refusal.
using Handler = Json (*)(const Call& call, HandlerContext& context);

// Method name to handler. Built once, read by every worker thread.
class Router {
 public:
  Router();
  // nullptr for a method without a handler (a test checks that the method table has none).
  Handler Find(std::string_view method) const;

  void Add(std::string_view method, Handler handler) { handlers_[method] = handler; }

 private:
  std::unordered_map<std::string_view, Handler> handlers_;
};

void AddCatalogueHandlers(Router& router);
void AddRadioHandlers(Router& router);
void AddListHandlers(Router& router);
void AddFavoriteHandlers(Router& router);
void AddCloudHandlers(Router& router);

// Parameter readers: each throws Refusal(kInvalidValue) naming the parameter.
int64_t IntParam(const Call& call, std::string_view name, int64_t min, int64_t max);
// A decimal id: digits only, not empty.
int64_t IdParam(const Call& call, std::string_view name);
// Ids joined by ","; an empty value gives an empty list only when `allow_empty`.
std::vector<int64_t> IdListParam(const Call& call, std::string_view name, bool allow_empty);
// One of the listed texts.
const std::string& ChoiceParam(const Call& call, std::string_view name,
                               std::initializer_list<std::string_view> choices);
// A value the client percent-encoded before the pair writer encoded it again: checks the
// encoded form and returns the plain text.
std::string DataStringParam(const Call& call, std::string_view name);
// 32 hexadecimal digits, returned in lower case.
std::string Md5Param(const Call& call, std::string_view name);

// JSON helpers. The JSON library's strings are UTF-8 on Linux and UTF-16 on Windows; the
// sandbox's text is UTF-8 everywhere, and these convert at that boundary.
utility::string_t JsonString(std::string_view utf8);
std::string Utf8(const utility::string_t& text);
// The JSON text of `value`, in UTF-8 as it goes out.
std::string Serialized(const Json& value);
Json Answer(int error_code = 22000);  // {"error_code": code}
// {"error_code": code, "result": result}
Json ResultAnswer(Json result, int error_code = 22000);
Json Text(std::string_view text);
Json Number(int64_t value);
// `id` as the decimal text the service sends identifiers in.
Json IdText(int64_t id);

// How RowsToArray writes a column: as an id (decimal text), as text or as a number.
enum class As { kId, kText, kNumber };
struct Field {
  const char* key;
  int column;
  As as;
};
// Each remaining row of `rows` as an object with one member per field.
Json RowsToArray(Query& rows, std::initializer_list<Field> fields);

// The first id of a comma-separated id text.
std::string FirstId(const std::string& ids);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_HANDLERS_H_
