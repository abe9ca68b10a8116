#include "integration/sandbox_environment.h"

#include <chrono>
#include <cstdlib>

#include "base/http/transport.h"
#include "base/string_utils.h"
#include "settings/user_account_settings.h"
#include "support/ui_test_util.h"

#if LUMO_IN_PROCESS_SANDBOX
#include "sandbox/server.h"
#endif

namespace lumo::integration {
namespace {

constexpr char kServiceHostPort[] = LUMOAPI_SERVICE_HOST ":80";

SandboxAddress& TheAddress() {
  static SandboxAddress address;
  return address;
}

#if LUMO_IN_PROCESS_SANDBOX
std::unique_ptr<sandbox::Server>& TheServer() {
  static std::unique_ptr<sandbox::Server> server;
  return server;
}
#endif

// A decimal number of at most `max` without a sign or a leading zero; nothing otherwise.
std::optional<unsigned> DecimalUpTo(std::string_view digits, unsigned max) {
  if (digits.empty() || digits.size() > 5 || (digits.size() > 1 && digits[0] == '0')) {
    return std::nullopt;
  }
  unsigned value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new SandboxEnvironment);  // owned by GoogleTest

}  // namespace

std::optional<SandboxAddress> ParseSandboxAddress(std::string_view text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::optional<unsigned> port = DecimalUpTo(text.substr(colon + 1), 65535);
  if (!port || *port == 0) return std::nullopt;
  std::string_view ip = text.substr(0, colon);
  for (int octet = 0; octet < 4; ++octet) {
    const size_t dot = octet < 3 ? ip.find('.') : ip.size();
    if (dot == std::string_view::npos) return std::nullopt;
    const std::optional<unsigned> value = DecimalUpTo(ip.substr(0, dot), 255);
    if (!value || (octet == 0 && *value != 127)) return std::nullopt;
    ip.remove_prefix(octet < 3 ? dot + 1 : dot);
  }
  return SandboxAddress{std::string(text.substr(0, colon)), static_cast<uint16_t>(*port)};
}

void SandboxEnvironment::SetUp() {
  const char* const given = std::getenv(kSandboxVariable);
  if (given && *given) {
    const std::optional<SandboxAddress> address = ParseSandboxAddress(given);
    ASSERT_TRUE(address) << kSandboxVariable << "=\"" << given
                         << "\": expected a loopback IPv4 address and port, such as "
                            "127.0.0.1:40123";
    TheAddress() = *address;
  } else {
#if LUMO_IN_PROCESS_SANDBOX
    TheServer() = std::make_unique<sandbox::Server>(sandbox::Options{});
    std::string error;
    ASSERT_TRUE(TheServer()->Start(&error)) << error;
    TheAddress() = SandboxAddress{"127.0.0.1", TheServer()->port()};
#else
    FAIL() << "no sandbox: set " << kSandboxVariable
           << " to the address of a running one (scripts/with-sandbox.sh starts one)";
#endif
  }
  base::http::SetConnectTo(kServiceHostPort, TheAddress().host_port());
  // The public radio and scene requests take the token from the account settings.
  settings::user::UserAccountSettings::Instance().SetKwtok(
      base::string_utils::ToUtf16(sandbox::kOrdinaryUserToken));
  // One running outside may have served another program before.
  if (given && *given) {
    const sandbox::testing::Response reset = ToSandbox("POST", "/_sandbox/reset");
    ASSERT_EQ(reset.error_code(), 22000) << "no sandbox answers at " << TheAddress().host_port()
                                         << " (exchange code " << reset.curl_code << ")";
  }
}

void SandboxEnvironment::TearDown() {
  base::http::SetConnectTo(kServiceHostPort, "");
#if LUMO_IN_PROCESS_SANDBOX
  TheServer().reset();
#endif
}

const SandboxAddress& SandboxEnvironment::address() { return TheAddress(); }

bool Completion::WaitFor(int count) {
  // Longer than the transport's own limits: a request ends by itself well before.
  return lumo::testing::RunUiUntil([&] { return count_ >= count; }, std::chrono::seconds(40));
}

sandbox::testing::Client SandboxClient() {
  return sandbox::testing::Client(TheAddress().ip, TheAddress().port);
}

sandbox::testing::Response ToSandbox(const std::string& verb, const std::string& target,
                                     const std::vector<std::string>& headers,
                                     const std::string& body) {
  return SandboxClient().Send(verb, target, headers, body);
}

std::vector<web::json::value> Logged(const std::string& method) {
  const sandbox::testing::Response log = ToSandbox("GET", "/_sandbox/log?method=" + method);
  EXPECT_EQ(log.status, 200) << log.body;
  const web::json::value entries = sandbox::testing::At(log.json, {"entries"});
  if (!entries.is_array()) return {};
  return std::vector<web::json::value>(entries.as_array().begin(), entries.as_array().end());
}

void ResetSandbox() { EXPECT_EQ(ToSandbox("POST", "/_sandbox/reset").error_code(), 22000); }

}  // namespace lumo::integration
