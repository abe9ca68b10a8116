#include "integration/sandbox_environment.h"

#include <chrono>

#include "base/http/transport.h"
#include "base/string_utils.h"
#include "settings/user_account_settings.h"
#include "support/ui_test_util.h"

namespace lumo::integration {
namespace {

constexpr char kServiceHostPort[] = LUMOAPI_SERVICE_HOST ":80";

std::unique_ptr<sandbox::Server>& TheServer() {
  static std::unique_ptr<sandbox::Server> server;
  return server;
}

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SandboxEnvironment);  // owned by GoogleTest

}  // namespace

void SandboxEnvironment::SetUp() {
  TheServer() = std::make_unique<sandbox::Server>(sandbox::Options{});
  std::string error;
  ASSERT_TRUE(TheServer()->Start(&error)) << error;
  base::http::SetConnectTo(kServiceHostPort, "127.0.0.1:" + std::to_string(port()));
  // The public radio and scene requests take the token from the account settings.
  settings::user::UserAccountSettings::Instance().SetKwtok(
      base::string_utils::ToUtf16(sandbox::kOrdinaryUserToken));
}

void SandboxEnvironment::TearDown() {
  base::http::SetConnectTo(kServiceHostPort, "");
  TheServer().reset();
}

uint16_t SandboxEnvironment::port() { return TheServer()->port(); }

bool Completion::WaitFor(int count) {
  // Longer than the transport's own limits: a request ends by itself well before.
  return lumo::testing::RunUiUntil([&] { return count_ >= count; }, std::chrono::seconds(40));
}

sandbox::testing::Response ToSandbox(const std::string& verb, const std::string& target,
                                     const std::vector<std::string>& headers,
                                     const std::string& body) {
  sandbox::testing::Client client(SandboxEnvironment::port());
  return client.Send(verb, target, headers, body);
}

std::vector<web::json::value> Logged(const std::string& method) {
  const sandbox::testing::Response log = ToSandbox("GET", "/_sandbox/log?method=" + method);
  EXPECT_EQ(log.status, 200) << log.body;
  std::vector<web::json::value> entries;
  if (log.json.has_array_field("entries")) {
    for (const web::json::value& entry : log.json.at("entries").as_array())
      entries.push_back(entry);
  }
  return entries;
}

void ResetSandbox() { EXPECT_EQ(ToSandbox("POST", "/_sandbox/reset").error_code(), 22000); }

}  // namespace lumo::integration
