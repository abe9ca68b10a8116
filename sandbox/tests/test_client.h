// A client for the sandbox's tests that shares nothing with the library: it writes queries with
// its own code and encrypts and signs with the sandbox's address forms. (The shell check beside it
// recomputes a signature with openssl and md5sum on its own.) The exchanges go through libcurl;
// on Windows, where the library's tests reach a sandbox on the build machine, through a plain
// socket of its own.
#ifndef SANDBOX_TESTS_TEST_CLIENT_H_
#define SANDBOX_TESTS_TEST_CLIENT_H_

#include <cpprest/json.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sandbox/address_form.h"

namespace lumo::sandbox::testing {

using Params = std::vector<std::pair<std::string, std::string>>;

// libcurl's codes (curl.h's CURLcode) for the outcomes the tests look for.
inline constexpr int kCurlOk = 0;
inline constexpr int kCurlPartialFile = 18;  // the body ended before its announced length
inline constexpr int kCurlGotNothing = 52;   // the connection closed without an answer

struct Response {
  // libcurl's code for how the exchange went: CURLE_OK (0) when it completed. The socket client
  // gives the code libcurl gives for the same outcome.
  int curl_code = 0;
  long status = 0;
  std::string body;
  web::json::value json;  // null unless the body is a JSON object
  int error_code() const;
};

// The member of `value` at `path`, one name per level, or null where a level is missing. The
// names are UTF-8 on every system (the JSON library's own are UTF-16 on Windows).
web::json::value At(const web::json::value& value, std::initializer_list<std::string_view> path);
// A JSON string as UTF-8; empty for any other value.
std::string Text(const web::json::value& value);

// Every byte outside the unreserved set as %XX.
std::string Encode(const std::string& text);
int64_t NowSeconds();

// "/v1/restserver/lumo?method=..&format=json&from=qxpc&version=..&version_d=10.1.1.1&<own>".
std::string PlainTarget(const std::string& method, const Params& own,
                        const std::string& version = "1.0.0");
// The encrypted form: method, timestamp, param, sign.
std::string EncryptedTarget(const std::string& method, const Params& own,
                            int64_t timestamp = NowSeconds(), const std::string& version = "1.0.0");
// The lyrics lookup's own parameters with their encrypted copy "e".
Params LyricsParams(const std::string& query, int64_t ts, int type);

// Exchanges with the sandbox at `address` (an IPv4 literal) and `port`, on one connection kept
// alive between calls (libcurl) or one connection per call (the socket client). Thread-compatible.
class Client {
 public:
  explicit Client(uint16_t port) : Client("127.0.0.1", port) {}
  Client(std::string address, uint16_t port);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // The standard headers of the client (user agent, referer) unless replaced in `headers`;
  // `token` adds the KWTOK cookie.
  Response Get(const std::string& target, const std::string& token = "",
               const std::vector<std::string>& headers = {});
  // A POST without a Content-Type among `headers` is sent as application/json.
  Response Send(const std::string& verb, const std::string& target,
                const std::vector<std::string>& headers, const std::string& body = "");

 private:
  struct Connection;  // what the exchanges go through

  // Performs one exchange; `headers` are complete apart from what the connection adds itself
  // (Host unless given, the body's length).
  Response Exchange(const std::string& verb, const std::string& target,
                    const std::vector<std::string>& headers, const std::string& body);

  std::string address_;
  uint16_t port_;
  std::unique_ptr<Connection> connection_;
};

}  // namespace lumo::sandbox::testing

#endif  // SANDBOX_TESTS_TEST_CLIENT_H_
