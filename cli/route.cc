#include "route.h"

#include <filesystem>

#include "base/http/transport.h"
#include "base/string_utils.h"
#include "output.h"
#include "platform.h"
#include "sandbox/server.h"
#include "settings/user_account_settings.h"

namespace lumo::cli {

const char kServiceHostPort[] = LUMOAPI_SERVICE_HOST ":80";

std::string SandboxStatePath(const std::string& db_option) {
  namespace fs = std::filesystem;
  if (db_option == ":memory:") return db_option;
  fs::path path = fs::u8path(db_option);
  if (path.empty()) path = StateHome() / "lumo" / "sandbox.db";
  // A folder that cannot be made shows up as the sandbox failing to open its database.
  std::error_code ignored;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), ignored);
  return path.u8string();
}

Route::Route(const GlobalOptions& options, const Output& output)
    : options_(options), output_(output) {
  token_ = base::string_utils::ToUtf16(options_.token_given      ? options_.token
                                       : uses_built_in_sandbox() ? sandbox::kOrdinaryUserToken
                                                                 : "");
  // The radio requests read the token from the account settings, as in the host player.
  settings::user::UserAccountSettings::Instance().SetKwtok(token_);
  if (!uses_built_in_sandbox()) target_ = options_.connect_to;
}

Route::~Route() {
  if (sandbox_) sandbox_->Stop();
}

std::wstring Route::OrSandboxDefault(const std::wstring& value, const char* sandbox_default) const {
  if (!value.empty() || !uses_built_in_sandbox()) return value;
  return base::string_utils::ToUtf16(sandbox_default);
}

bool Route::Connect(const std::string& operation) {
  if (uses_built_in_sandbox() && !sandbox_) {
    sandbox::Options sandbox_options;
    sandbox_options.db_path = SandboxStatePath(options_.db_path);
    auto server = std::make_unique<sandbox::Server>(sandbox_options);
    std::string error;
    if (!server->Start(&error)) {
      output_.Fail(operation, "cannot start the built-in sandbox: " + error, kExitTransportError);
      return false;
    }
    sandbox_ = std::move(server);
    target_ = "127.0.0.1:" + std::to_string(sandbox_->port());
    output_.Notice("using the built-in sandbox (state in " + sandbox_options.db_path + ")");
  }
  base::http::SetConnectTo(kServiceHostPort, target_);
  return true;
}

std::string Route::RouteFor(const std::string& host) const {
  return target_.empty() ? std::string() : host + ":80:" + target_;
}

}  // namespace lumo::cli
