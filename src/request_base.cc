#include "lumoapi/request_base.h"

#include <cpprest/uri_builder.h>

#include <exception>
#include <utility>

#include "base/http/win_http_request.h"
#include "base/logging.h"
#include "base/os_utils.h"
#include "base/shutdown.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "call_failure.h"
#include "delete_in_place.h"
#include "encrypt_lumoapi_param.h"
#include "json_access.h"
#include "log_masking.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi {
namespace {

using base::string_utils::ToUtf16;
using utilities::json::StringTOf;
using utilities::json::Utf8Of;

constexpr int32_t kSuccessCode = 22000;
constexpr wchar_t kFormat[] = L"json";
constexpr wchar_t kClientId[] = L"qxpc";
constexpr wchar_t kUserAgent[] = L"qxpc_1.0.0";
constexpr wchar_t kVersionD[] = L"10.1.1.1";

const web::uri& BaseUri() {
  static const web::uri base(StringTOf("http://" LUMOAPI_SERVICE_HOST "/v1/restserver/lumo?"));
  return base;
}

void LogError(const wchar_t* location, unsigned line, const std::wstring& message) {
  base::logging::LogMessage(location, line, base::logging::LoggingSeverity::kError,
                            MaskSecrets(message));
}

// The common pairs that precede a request's own pairs, in the plain query or the encrypted text.
void AppendCommonPairs(QueryBuilder& builder, const std::wstring& version) {
  AppendPair(builder, L"format", kFormat);
  AppendPair(builder, L"from", kClientId);
  AppendPair(builder, L"version", version);
  AppendPair(builder, L"version_d", kVersionD);
}

// Each byte of `bytes` as one unit of the URI library's text, unconverted. Where that text is
// wide, the library checks an address by the low byte of each unit, so a UTF-8 character converted
// to UTF-16 could pass (U+5468 reads as "h"); its bytes one by one are refused as they are where
// the text is UTF-8.
utility::string_t UnitPerByte(const std::string& bytes) {
  utility::string_t units;
  units.reserve(bytes.size());
  for (unsigned char byte : bytes) units.push_back(static_cast<utility::char_t>(byte));
  return units;
}

// The address of `query`. The URI library would refuse a query holding bytes that no address may
// carry raw (only an encoded text from BuildParams can bring them); it then decides, and throws.
std::string AddressWith(const QueryBuilder& query) {
  if (!query.all_bytes_valid()) {
    web::uri_builder checked(BaseUri());
    checked.set_query(UnitPerByte(query.query()));
    return Utf8Of(checked.to_string());
  }
  // Everything before the query, written by the URI library once.
  static const std::string prefix = [] {
    web::uri_builder builder(BaseUri());
    builder.set_query(StringTOf("q"));
    std::string address = Utf8Of(builder.to_string());
    address.pop_back();
    return address;
  }();
  std::string address;
  address.reserve(prefix.size() + query.query().size());
  address += prefix;
  address += query.query();
  return address;
}

// When this library is unloaded before the process exits (a host's FreeLibrary), nothing of the
// host layer may call into it afterwards: the network thread drops the exchanges left (of
// requests the host never deleted) and the UI loop its tasks, in case the host did not call
// base::Shutdown itself. Destroyed after the library's other statics (the report pool's).
struct UnloadGuard {
  UnloadGuard() = default;
  UnloadGuard(const UnloadGuard&) = delete;
  UnloadGuard& operator=(const UnloadGuard&) = delete;
  ~UnloadGuard() {
    if (!base::os_utils::IsProcessExiting()) base::Shutdown();
  }
} unload_guard;

}  // namespace

RequestRoot::RequestRoot() = default;
RequestRoot::~RequestRoot() = default;

CallFailure RequestRoot::Failure() const { return failure_; }

// A host that never bound its UI thread gets the thread that makes its first request: failures
// are posted there, and would otherwise wait for a thread that does not exist.
RequestBase::RequestBase() { base::thread::UiLoop::Instance().BindToCurrentThreadIfUnbound(); }

RequestBase::~RequestBase() {
  // Every derived destructor has stopped the HTTP request already: by now the derived members
  // are gone, and an answer still being handled on the network thread would have parsed into
  // them. A live HTTP request here means a derived class forgot.
  if (http_request) {
    LogError(L"lumoapi::RequestBase::~RequestBase", __LINE__,
             L"a request class did not call StopHttpRequest() first in its destructor: " + url);
  }
  StopHttpRequest();
  disconnect_all();
}

std::wstring RequestBase::GetVersion() { return L"1.0.0"; }

bool RequestBase::IsErrorCodeAccepted() { return status == 22469 || status == 24003; }

void RequestBase::SetExtraHeaders() {}

std::wstring RequestBase::BuildUrl() {
  QueryBuilder builder;
  AppendPair(builder, L"method", GetMethodName());
  if (!encrypt_params) {
    AppendCommonPairs(builder, GetVersion());
    AppendEncodedParams(builder, BuildParams());
  } else {
    QueryBuilder inner;
    AppendCommonPairs(inner, GetVersion());
    AppendEncodedParams(inner, BuildParams());
    LumoAPIParamEncryption encryption;
    const std::wstring param = encryption.Encrypt(QueryText(inner));
    AppendPair(builder, L"timestamp", encryption.timestamp);
    AppendPair(builder, L"param", param);
    AppendPair(builder, L"sign", encryption.Sign());
  }
  return ToUtf16(AddressWith(builder));
}

void RequestBase::BeginRequest() {
  try {
    url = BuildUrl();
    auto fresh = std::make_unique<base::http::WinHttpRequest>();
    StopHttpRequest();
    http_request = std::move(fresh);
    http_request->response_completed.connect(this, &RequestBase::OnHttpCompleted);
    http_request->request_failed.connect(this, &RequestBase::OnHttpFailed);
    http_request->Open(L"GET", url, true, false);
    http_request->SetRequestHeader(L"User-Agent", kUserAgent);
    http_request->SetRequestHeader(L"Referer", L"" LUMOAPI_WEB_ORIGIN);
    if (!session_token.empty()) {
      http_request->SetRequestHeader(L"Cookie", L"KWTOK=" + session_token);
    }
    SetExtraHeaders();
    http_request->Send(0);
  } catch (const std::exception& e) {
    failure_ = internal::NotBuiltFailure(ToUtf16(e.what()));
    FailOnUIThread(ToUtf16(e.what()));
  }
}

void RequestBase::OnHttpCompleted() {
  using Kind = CallFailure::Kind;
  bool handled = false;
  int32_t http_status = 0;
  bool is_json = false;
  // What an exception below means: before the body parsed, that it is no JSON; after, that the
  // class's parser refused the answer, which for a code other than 22000 is the code's doing.
  const auto failure_of_throw = [&](const std::wstring& what) {
    if (!is_json) {
      const bool http_error = http_status < 200 || http_status > 299;
      return internal::AnswerFailure(http_error ? Kind::kHttpStatus : Kind::kNotJson, http_status,
                                     0);
    }
    return internal::AnswerFailure(status == kSuccessCode ? Kind::kParseError : Kind::kServiceCode,
                                   http_status, status, what);
  };
  try {
    status = http_request->GetStatus();
    http_status = status;
    const std::string& body = http_request->GetResponseBody();
    response_text = ToUtf16(body);
    web::json::value answer = utilities::json::Parse(body);
    is_json = true;
    const web::json::value& error_code = Member(answer, "error_code");
    // A JSON body without a service code is a success only when the HTTP status says so; an
    // error page of a proxy or gateway keeps its HTTP status and is not parsed.
    const bool http_error = http_status < 200 || http_status > 299;
    if (http_error && error_code.is_null()) {
      failure_ = internal::AnswerFailure(Kind::kHttpStatus, http_status, 0);
    } else {
      status = utilities::json::ToInt(error_code, kSuccessCode);
      if (status == kSuccessCode || IsErrorCodeAccepted()) {
        ParseResult(answer);
        succeeded = true;
        failure_ = internal::AnswerFailure(Kind::kNone, http_status, status);
      } else {
        failure_ = internal::AnswerFailure(Kind::kServiceCode, http_status, status);
      }
    }
    finished = true;
    handled = true;
  } catch (const std::exception& e) {
    failure_ = failure_of_throw(ToUtf16(e.what()));
    FailOnUIThread(ToUtf16(e.what()));
  } catch (...) {
    failure_ = failure_of_throw(L"");
    FailOnUIThread(L"LumoAPI unknown exception: " + url + response_text);
  }
  // Outside the guard: a receiver that throws must not turn this into a second completion. A
  // request being deleted on the UI thread meanwhile has no one left to tell.
  if (handled && !http_request->IsBeingDeleted()) EmitCompleted();
}

void RequestBase::OnHttpFailed(int code, std::wstring message) {
  LogError(L"lumoapi::RequestBase::OnHttpFailed", __LINE__,
           L"request failed (" + std::to_wstring(code) + L" " + message + L"): " + url);
  failure_ = internal::TransportFailure(code, message);
  finished = true;
  PostFailedCompletion();
}

void RequestBase::FailOnUIThread(std::wstring message) {
  LogError(L"lumoapi::RequestBase::FailOnUIThread", __LINE__, message + L": " + url);
  finished = true;
  PostFailedCompletion();
}

void RequestBase::PostFailedCompletion() {
  dispatcher.InvokeOnUIThread([this] {
    // Deleting the HTTP request first waits until the emission that posted this has returned,
    // so detaching from its signals cannot race with it.
    StopHttpRequest();
    disconnect_all();
    EmitCompleted();
  });
}

void RequestBase::StopHttpRequest() {
  // Until the HTTP request's destructor has waited out an emission on the network thread, that
  // emission may still read `http_request`.
  internal::DeleteInPlace(http_request);
}

void RequestBase::EmitCompleted() {
  // Nothing of this object is touched after the emission: a receiver may have deleted it.
  try {
    completed.emit();
  } catch (const std::exception& e) {
    LogError(L"lumoapi::RequestBase::EmitCompleted", __LINE__,
             L"a receiver of completed threw: " + ToUtf16(e.what()));
  } catch (...) {
    LogError(L"lumoapi::RequestBase::EmitCompleted", __LINE__,
             L"a receiver of completed threw an unknown exception");
  }
}

}  // namespace lumoapi
