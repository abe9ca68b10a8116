// The service's method table and the checks every call to the REST endpoint goes through before
// a handler sees it: user agent, address form, signature and timestamp window, decryption,
// common parameters, session token, and the method's own parameter set.
#ifndef SANDBOX_SRC_PROTOCOL_H_
#define SANDBOX_SRC_PROTOCOL_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exchange.h"
#include "query.h"

namespace lumo::sandbox {

enum class AddressForm { kPlain, kEncrypted };

// Where a method's session token travels and what it must be.
enum class TokenRule {
  kNone,                // no token at all: a KWTOK cookie is refused
  kCookie,              // KWTOK cookie, a known token
  kCookieAndParameter,  // KWTOK cookie and an equal "kwtok" parameter
  kParameter,           // "kwtok" parameter, a known token
  kParameterOrEmpty,    // "kwtok" parameter; empty means an anonymous caller
  kOptionalParameter,   // "kwtok" parameter absent (anonymous) or a known token
};

struct MethodRules {
  std::string_view name;
  AddressForm form;
  std::string_view version;
  TokenRule token;
  std::vector<std::string_view> required;  // own parameters, "kwtok" excluded
  std::vector<std::string_view> optional;
  bool needs_cuid = false;  // the CUID header identifies the computer
};

// The 36 methods, or nullptr for an unknown name.
const MethodRules* FindMethod(std::string_view name);
const std::vector<MethodRules>& AllMethods();

struct User {
  int64_t id = 0;
  std::string name;
  std::string token;
};

// A call that passed every protocol check.
struct Call {
  const MethodRules* rules = nullptr;
  Pairs params;              // the method's own parameters, decoded
  std::optional<User> user;  // empty for methods without a token and for anonymous callers
  std::string cuid;          // the CUID header, when the method needs it

  // The parameter's value; the checker guarantees required parameters exist.
  const std::string& Get(std::string_view name) const;
  bool Has(std::string_view name) const { return FindPair(params, name) != nullptr; }
};

using TokenResolver = std::function<std::optional<User>(std::string_view token)>;

// Seconds the encrypted form's timestamp may differ from the server's clock.
inline constexpr int64_t kTimestampWindowSeconds = 300;

// Checks a GET of the REST endpoint. `query` is the text after '?'. Fills `record` with what it
// decoded as it goes, so that a refused request still shows in the log. Throws Refusal.
Call CheckCall(const HttpRequest& request, std::string_view query, int64_t now_seconds,
               const TokenResolver& resolve, LogRecord& record);

// The KWTOK cookie's value in a Cookie header, if present.
std::optional<std::string> KwtokFromCookie(std::string_view cookie_header);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_PROTOCOL_H_
