#include "session.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <utility>

#include "address.h"
#include "base/http/transport.h"
#include "base/logging.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/request_base.h"
#include "report.h"
#include "sandbox/server.h"
#include "service_codes.h"
#include "settings/user_account_settings.h"
#include "trace.h"

namespace lumo::cli {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;

// The library always addresses the service by this name; routing decides where it goes.
constexpr char kServiceHostPort[] = LUMOAPI_SERVICE_HOST ":80";

// Longer than the transport's own 30 s limit, so that a request normally ends by itself first.
constexpr std::chrono::seconds kCallTimeout{35};

// Shows each exchange on standard error for --verbose, then hands it to the real transport.
class TracingTransport : public base::http::Transport {
 public:
  explicit TracingTransport(std::shared_ptr<Transport> inner) : inner_(std::move(inner)) {}

  ExchangeId Start(base::http::TransportRequest request,
                   base::http::TransportCallback done) override {
    TraceRequest(request.method, request.url, request.headers);
    const auto start = std::chrono::steady_clock::now();
    return inner_->Start(
        std::move(request), [done = std::move(done), start](base::http::TransportResult result) {
          const auto took = std::chrono::steady_clock::now() - start;
          if (result.ok) {
            TraceAnswer(result.status, result.body.size(), took);
          } else {
            TraceFailure(std::to_string(result.error_code) + " " + result.error_text, took);
          }
          done(std::move(result));
        });
  }

  void Cancel(ExchangeId id) override { inner_->Cancel(id); }

 private:
  std::shared_ptr<Transport> inner_;
};

// The library's failure lines end with ": <address>"; the error line does not repeat it.
std::string WithoutAddress(const std::string& line) {
  const size_t at = line.rfind(": http");
  return at == std::string::npos ? line : line.substr(0, at);
}

}  // namespace

std::string SandboxStatePath(const std::string& db_option) {
  namespace fs = std::filesystem;
  if (db_option == ":memory:") return db_option;
  fs::path path = db_option;
  if (path.empty()) {
    const char* state_home = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    const fs::path base = state_home && *state_home
                              ? fs::path(state_home)
                              : fs::path(home && *home ? home : ".") / ".local" / "state";
    path = base / "lumo" / "sandbox.db";
  }
  // A folder that cannot be made shows up as the sandbox failing to open its database.
  std::error_code ignored;
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), ignored);
  return path.string();
}

Session::Session(GlobalOptions options) : options_(std::move(options)) {
  token_ = ToUtf16(options_.token_given      ? options_.token
                   : uses_built_in_sandbox() ? sandbox::kOrdinaryUserToken
                                             : "");
  // The radio requests read the token from the account settings, as in the host player.
  settings::user::UserAccountSettings::Instance().SetKwtok(token_);
  const bool verbose = options_.verbose;
  base::logging::SetLogSink([this, verbose](const base::logging::LogRecord& record) {
    std::string line = ToUtf8(record.message);
    if (verbose) TraceLine("log: " + ToUtf8(record.location) + ": " + line);
    std::lock_guard<std::mutex> lock(log_mutex_);
    log_lines_.push_back(std::move(line));
  });
  if (verbose) {
    base::http::SetTransport(std::make_shared<TracingTransport>(base::http::GetTransport()));
  }
}

Session::~Session() {
  // Whatever the library still logs after the command (at exit) is not for the user.
  base::logging::SetLogSink([](const base::logging::LogRecord&) {});
  base::http::SetTransport(nullptr);
  if (sandbox_) sandbox_->Stop();
}

std::wstring Session::OrSandboxDefault(const std::wstring& value,
                                       const char* sandbox_default) const {
  if (!value.empty() || !uses_built_in_sandbox()) return value;
  return ToUtf16(sandbox_default);
}

bool Session::Connect() {
  if (!target_.empty()) return true;
  if (uses_built_in_sandbox()) {
    const std::string db = SandboxStatePath(options_.db_path);
    sandbox::Options sandbox_options;
    sandbox_options.db_path = db;
    sandbox_ = std::make_unique<sandbox::Server>(sandbox_options);
    std::string error;
    if (!sandbox_->Start(&error)) {
      sandbox_.reset();
      std::cerr << "lumo: cannot start the built-in sandbox: " << error << "\n";
      return false;
    }
    target_ = "127.0.0.1:" + std::to_string(sandbox_->port());
    std::cerr << "lumo: using the built-in sandbox (state in " << db << ")\n";
  } else {
    target_ = options_.connect_to;
  }
  base::http::SetConnectTo(kServiceHostPort, target_);
  return true;
}

std::string Session::RouteFor(const std::string& host) const {
  return target_.empty() ? std::string() : host + ":80:" + target_;
}

void Session::OnCompleted() { ++completions_; }

void Session::Watch(lumoapi::RequestRoot& request) {
  awaited_ = completions_ + 1;
  request.completed.connect(this, &Session::OnCompleted);
}

bool Session::WaitForCompletion(const std::string& operation) {
  if (base::thread::UiLoop::Instance().RunUntil([this] { return completions_ >= awaited_; },
                                                kCallTimeout)) {
    return true;
  }
  Fail(operation, "no answer within " + std::to_string(kCallTimeout.count()) + " s",
       kExitTransportError);
  return false;
}

size_t Session::LogMark() const {
  std::lock_guard<std::mutex> lock(log_mutex_);
  return log_lines_.size();
}

Session::Ending Session::EndingOf(const lumoapi::RequestBase& request) {
  return {request.status, request.succeeded, request.response_text};
}

std::optional<int> Session::Call(lumoapi::RequestBase& request, const std::string& operation,
                                 Accept accept) {
  if (options_.dry_run) return PrintDryRun(request, operation);
  if (!Connect()) return kExitTransportError;
  const size_t log_mark = LogMark();
  Watch(request);
  request.BeginRequest();
  if (!WaitForCompletion(operation)) return kExitTransportError;
  return Judge(operation, EndingOf(request), log_mark, accept);
}

std::optional<int> Session::Judge(const std::string& operation, const Ending& ending,
                                  size_t log_mark, Accept accept) const {
  if (ending.succeeded && (accept == Accept::kParsed || ending.status == kSuccessCode)) {
    return std::nullopt;
  }
  auto [problem, status] = Diagnose(ending, log_mark);
  return Fail(operation, problem, status);
}

std::pair<std::string, int> Session::Diagnose(const Ending& ending, size_t log_mark) const {
  if (IsServiceCode(ending.status) && ending.status != kSuccessCode) {
    return {DescribeServiceError(ending.status, ToUtf8(ending.response_text)), kExitServiceError};
  }
  const std::string logged = LastLogLineSince(log_mark);
  if (ending.status != 0) {
    std::string problem = "HTTP status " + std::to_string(ending.status);
    if (!logged.empty()) problem += ": " + logged;
    return {problem, kExitTransportError};
  }
  return {logged.empty() ? "no usable answer" : logged, kExitTransportError};
}

std::string Session::LastLogLineSince(size_t first) const {
  std::lock_guard<std::mutex> lock(log_mutex_);
  if (log_lines_.size() <= first) return std::string();
  return WithoutAddress(log_lines_.back());
}

int Session::PrintDryRun(lumoapi::RequestBase& request, const std::string& operation) const {
  std::string url;
  try {
    url = ToUtf8(request.BuildUrl());
  } catch (const std::exception& e) {
    return Fail(operation, std::string("cannot build the address: ") + e.what(), kExitUsageError);
  }
  Report report;
  report.Text("operation", operation).Text("method", std::string("GET")).Text("url", url);
  if (std::optional<InnerText> inner = DecryptInnerText(url)) {
    report.Text("decrypted_parameter", inner->parameter).Text("decrypted", inner->text);
  }
  return Print(report);
}

int Session::Print(const Report& report) const {
  PrintReport(report, options_.json);
  return kExitOk;
}

int Session::Fail(const std::string& operation, const std::string& problem, int status) const {
  std::cerr << "lumo: " << operation << " failed: " << problem << "\n";
  return status;
}

}  // namespace lumo::cli
