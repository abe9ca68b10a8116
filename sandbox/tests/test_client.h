// A client for the sandbox's tests, on libcurl, that shares nothing with the library: it writes
// queries with its own code and encrypts and signs with the sandbox's address forms. (The
// shell check beside it recomputes a signature with openssl and md5sum on its own.)
#ifndef SANDBOX_TESTS_TEST_CLIENT_H_
#define SANDBOX_TESTS_TEST_CLIENT_H_

#include <cpprest/json.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/address_form.h"

namespace lumo::sandbox::testing {

using Params = std::vector<std::pair<std::string, std::string>>;

struct Response {
  int curl_code = 0;  // CURLE_OK when the exchange completed
  long status = 0;
  std::string body;
  web::json::value json;  // null unless the body is a JSON object
  int error_code() const;
};

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

// One connection, kept alive between calls. Thread-compatible.
class Client {
 public:
  explicit Client(uint16_t port);
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
  uint16_t port_;
  void* curl_;
};

}  // namespace lumo::sandbox::testing

#endif  // SANDBOX_TESTS_TEST_CLIENT_H_
