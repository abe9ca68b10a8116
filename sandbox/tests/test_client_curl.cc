// The test client's exchanges through libcurl, on one kept-alive connection.
//
// libcurl before the client's header: cpprestsdk's headers define `dllimport` as a macro, which
// breaks curl.h's attribute checks under clang.
#include <curl/curl.h>

#include "test_client.h"

namespace lumo::sandbox::testing {
namespace {

size_t Collect(char* data, size_t size, size_t count, void* sink) {
  static_cast<std::string*>(sink)->append(data, size * count);
  return size * count;
}

}  // namespace

struct Client::Connection {
  Connection() : curl(curl_easy_init()) {}
  ~Connection() { curl_easy_cleanup(curl); }
  CURL* const curl;
};

Client::Client(std::string address, uint16_t port)
    : address_(std::move(address)), port_(port), connection_(std::make_unique<Connection>()) {}

Client::~Client() = default;

Response Client::Exchange(const std::string& verb, const std::string& target,
                          const std::vector<std::string>& headers, const std::string& body) {
  CURL* curl = connection_->curl;
  curl_easy_reset(curl);
  Response response;
  std::string url = "http://" + address_ + ":" + std::to_string(port_) + target;
  curl_slist* list = nullptr;
  for (const std::string& header : headers) list = curl_slist_append(list, header.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, verb.c_str());
  if (verb == "PUT" || verb == "POST") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  // Longer than the whole exchange may take: a server that never sends "100 Continue" fails.
  curl_easy_setopt(curl, CURLOPT_EXPECT_100_TIMEOUT_MS, 30000L);
  response.curl_code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
  curl_slist_free_all(list);
  return response;
}

}  // namespace lumo::sandbox::testing
