#include "integration/sandbox_environment.h"

#include <curl/curl.h>

#include <chrono>

#include "base/http/transport.h"
#include "base/string_utils.h"
#include "settings/user_account_settings.h"
#include "support/ui_test_util.h"

namespace lumo::integration {
namespace {

constexpr char kServiceHostPort[] = LUMOAPI_SERVICE_HOST ":80";
const std::string kStoreHostPort = std::string(sandbox::kObjectStoreHost) + ":80";

std::unique_ptr<sandbox::Server>& TheServer() {
  static std::unique_ptr<sandbox::Server> server;
  return server;
}

size_t AppendBody(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SandboxEnvironment);  // owned by GoogleTest

}  // namespace

void SandboxEnvironment::SetUp() {
  TheServer() = std::make_unique<sandbox::Server>(sandbox::Options{});
  std::string error;
  ASSERT_TRUE(TheServer()->Start(&error)) << error;
  const std::string target = "127.0.0.1:" + std::to_string(port());
  base::http::SetConnectTo(kServiceHostPort, target);
  base::http::SetConnectTo(kStoreHostPort, target);
  // The public radio and scene requests take the token from the account settings.
  settings::user::UserAccountSettings::Instance().SetKwtok(
      base::string_utils::ToUtf16(sandbox::kOrdinaryUserToken));
}

void SandboxEnvironment::TearDown() {
  base::http::SetConnectTo(kServiceHostPort, "");
  base::http::SetConnectTo(kStoreHostPort, "");
  TheServer().reset();
}

uint16_t SandboxEnvironment::port() { return TheServer()->port(); }

void Completion::Watch(lumoapi::RequestRoot& request) {
  request.completed.connect(this, &Completion::OnCompleted);
}

bool Completion::Run(lumoapi::RequestBase& request) {
  Watch(request);
  request.BeginRequest();
  return WaitFor(1);
}

bool Completion::WaitFor(int count) {
  // Longer than the transport's own limits: a request ends by itself well before.
  return lumo::testing::RunUiUntil([&] { return count_ >= count; }, std::chrono::seconds(40));
}

HttpAnswer Send(const std::string& verb, const std::string& url,
                const std::vector<std::string>& headers, const std::string& body,
                const std::string& connect_to) {
  HttpAnswer answer;
  CURL* curl = curl_easy_init();
  curl_slist* header_list = nullptr;
  for (const std::string& header : headers)
    header_list = curl_slist_append(header_list, header.c_str());
  curl_slist* route = connect_to.empty() ? nullptr : curl_slist_append(nullptr, connect_to.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, verb.c_str());
  if (!body.empty() || verb == "POST" || verb == "PUT") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, header_list);
  curl_easy_setopt(curl, CURLOPT_CONNECT_TO, route);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
  if (curl_easy_perform(curl) == CURLE_OK) {
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
  }
  curl_slist_free_all(route);
  curl_slist_free_all(header_list);
  curl_easy_cleanup(curl);
  return answer;
}

web::json::value Inspect(const std::string& verb, const std::string& path,
                         const std::string& body) {
  const HttpAnswer answer =
      Send(verb, "http://127.0.0.1:" + std::to_string(SandboxEnvironment::port()) + path, {}, body);
  EXPECT_EQ(answer.status, 200) << verb << " " << path << ": " << answer.body;
  try {
    return web::json::value::parse(answer.body);
  } catch (const std::exception&) {
    ADD_FAILURE() << "not JSON: " << answer.body;
    return web::json::value::object();
  }
}

std::vector<web::json::value> Logged(const std::string& method) {
  const web::json::value log = Inspect("GET", "/_sandbox/log?method=" + method);
  std::vector<web::json::value> entries;
  if (log.has_array_field("entries")) {
    for (const web::json::value& entry : log.at("entries").as_array()) entries.push_back(entry);
  }
  return entries;
}

void ResetSandbox() { Inspect("POST", "/_sandbox/reset"); }

std::string RouteToSandbox(const std::string& host) {
  return host + ":80:127.0.0.1:" + std::to_string(SandboxEnvironment::port());
}

}  // namespace lumo::integration
