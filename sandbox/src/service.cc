#include "service.h"

#include <chrono>

#include "object_store.h"
#include "protocol.h"
#include "refusal.h"
#include "reply.h"
#include "seed.h"
#include "viewer.h"

namespace lumo::sandbox {
namespace {

constexpr std::string_view kApiPath = "/v1/restserver/lumo";
constexpr const char* kHtmlErrorPage =
    "<!DOCTYPE html>\n<html><head><title>502 Bad Gateway</title></head>\n"
    "<body><h1>502 Bad Gateway</h1><p>The upstream server did not answer.</p></body></html>\n";

// How many entries of the log a new event stream starts with, and how many bytes of them.
constexpr size_t kEventBacklogEntries = 200;
constexpr size_t kEventBacklogBytes = size_t{2} * 1024 * 1024;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string_view PathOf(std::string_view target) { return target.substr(0, target.find('?')); }

bool IsObjectPath(std::string_view path) {
  return path.size() > 1 && path.substr(1, kObjectKeyPrefix.size()) == kObjectKeyPrefix;
}

UploadHead UploadHeadOf(const HttpRequest& request, std::string_view path) {
  return UploadHead{std::string(path.substr(1)), request.Header("authorization"),
                    request.Header("content-type"), request.Header("x-qcs-date")};
}

// The log's record of an exchange, before it is answered.
LogRecord NewRecord(const HttpRequest& request) {
  LogRecord record;
  record.time_ms = NowMs();
  record.verb = request.verb;
  record.target = request.target;
  record.headers = request.headers;
  record.body_size = request.body.size();
  record.replay_of = request.replay_of;
  return record;
}

HttpReply ApplyFault(const FaultRule& rule, HttpReply reply, LogRecord& record) {
  record.fault = FaultActionName(rule.action);
  reply.delay = rule.delay;
  switch (rule.action) {
    case FaultAction::kDelay:
      break;
    case FaultAction::kClose:
      reply.delivery = Delivery::kClose;
      break;
    case FaultAction::kTruncate:
      reply.delivery = Delivery::kTruncate;
      break;
    case FaultAction::kHtml502:
      reply.status = 502;
      reply.content_type = "text/html; charset=utf-8";
      reply.body = kHtmlErrorPage;
      break;
    case FaultAction::kNotJson:
      reply.status = 200;
      reply.content_type = "text/plain; charset=utf-8";
      reply.body = "service temporarily unavailable";
      break;
    case FaultAction::kErrorCode:
      reply.status = 200;
      reply.body = Serialized(RefusalAnswer(rule.error_code, "fault rule"));
      break;
    case FaultAction::kVerbatim:
      reply.status = 200;
      reply.content_type = "application/json; charset=utf-8";
      reply.body = rule.body;
      break;
    case FaultAction::kOversize:
      reply.status = 200;
      reply.content_type = "application/json; charset=utf-8";
      reply.body.clear();
      reply.delivery = Delivery::kOversize;
      break;
  }
  return reply;
}

// Faults that replace the answer keep the handler from running, so they leave no write behind.
bool RunsHandler(FaultAction action) {
  return action == FaultAction::kDelay || action == FaultAction::kTruncate;
}

}  // namespace

Service::Service(const std::string& db_path, std::string listen_address)
    : store_(db_path, kSandboxSeeding),
      backlog_(
          [this](uint64_t after, size_t max) {
            std::vector<LogRecord> records;
            log_.Recent(after, max, &records);
            std::vector<EventBacklog::Entry> frames;
            frames.reserve(records.size());
            for (const LogRecord& record : records) {
              frames.push_back({record.seq, EventFrame(record.seq, "exchange",
                                                       Serialized(ViewerEntry(record, false)))});
            }
            return frames;
          },
          kEventBacklogEntries, kEventBacklogBytes),
      api_({store_, log_, kept_, rules_, events_, backlog_}, std::move(listen_address),
           [this](HttpRequest request) { return SendAgain(std::move(request)); }) {}

BodyAdmission Service::AdmitBody(const HttpRequest& head) { return Admit(head, nullptr); }

BodyAdmission Service::Admit(const HttpRequest& head, uint64_t* logged) {
  std::string_view path = PathOf(head.target);
  if (head.verb == "PUT" && IsObjectPath(path)) return AdmitUpload(head, path, logged);
  uint64_t limit = path == kRulesPath ? kMaxRuleBody : kMaxRequestBody;
  if (head.content_length.value_or(0) > limit) {
    return {RefusalReply(code::kBodyTooLarge,
                         "a body here takes at most " + std::to_string(limit) + " bytes")};
  }
  return {std::nullopt, limit};
}

BodyAdmission Service::AdmitUpload(const HttpRequest& head, std::string_view path,
                                   uint64_t* logged) {
  LogRecord record = NewRecord(head);
  HttpReply refusal;
  try {
    if (!head.content_length) {
      throw Refusal(code::kLengthRequired, "an upload declares its Content-Length");
    }
    GrantTerms terms = store_.Run<GrantTerms>([&](Db& db) {
      return CheckUploadHead(db, UploadHeadOf(head, path), record.time_ms / 1000);
    });
    uint64_t granted = static_cast<uint64_t>(terms.length);
    if (*head.content_length == granted) return {std::nullopt, granted};
    throw Refusal(
        *head.content_length > granted ? code::kBodyTooLarge : code::kUploadLengthMismatch,
        "Content-Length is " + std::to_string(*head.content_length) + ", the grant says " +
            std::to_string(granted));
  } catch (const Refusal& refused) {
    record.error_code = refused.code();
    refusal = RefusalReply(refused);
  } catch (const StoreError& error) {
    record.error_code = code::kInternal;
    refusal = RefusalReply(code::kInternal, error.what());
  }
  record.http_status = refusal.status;
  record.answer = refusal.body;
  record.answer_type = refusal.content_type;
  record.answer_size = refusal.body.size();
  // Its body was never read, so there is no whole request to keep.
  uint64_t seq = Log(std::move(record), nullptr);
  if (logged) *logged = seq;
  return {std::move(refusal)};
}

HttpReply Service::Handle(const HttpRequest& request) {
  try {
    return Dispatch(request, nullptr);
  } catch (const std::exception& error) {
    // A fault of the sandbox itself: answer it rather than let it end the worker thread.
    return RefusalReply(code::kInternal, error.what());
  }
}

HttpReply Service::Dispatch(const HttpRequest& request, uint64_t* logged) {
  std::string_view path = PathOf(request.target);
  std::string_view query = QueryOf(request.target);
  if (SandboxApi::IsApiPath(path)) return api_.Handle(request);

  auto start = std::chrono::steady_clock::now();
  LogRecord record = NewRecord(request);
  HttpReply reply;
  if (path == kApiPath) {
    reply = HandleApi(request, query, record);
  } else if (IsObjectPath(path)) {
    reply = HandleObject(request, path, record);
  } else {
    reply = RefusalReply(code::kNotFound, "no such path");
    record.error_code = code::kNotFound;
  }
  record.http_status = reply.status;
  if (reply.delivery != Delivery::kClose) {
    record.answer = reply.body;
    record.answer_type = reply.content_type;
    record.answer_size =
        reply.delivery == Delivery::kOversize ? kOversizeBodyBytes : reply.body.size();
  }
  record.took_us = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::steady_clock::now() - start + reply.delay)
                       .count();
  uint64_t seq = Log(std::move(record), &request);
  if (logged) *logged = seq;
  return reply;
}

uint64_t Service::Log(LogRecord record, const HttpRequest* request) {
  uint64_t seq = log_.Add(std::move(record));
  if (request) kept_.Keep(seq, *request);
  if (!events_.has_subscribers()) return seq;
  std::optional<LogRecord> kept = log_.Find(seq);
  if (!kept) return seq;
  std::string frame = EventFrame(seq, "exchange", Serialized(ViewerEntry(*kept, false)));
  backlog_.Offer(seq, frame);
  events_.Publish(seq, frame);
  return seq;
}

HttpReply Service::HandleApi(const HttpRequest& request, std::string_view query,
                             LogRecord& record) {
  if (request.verb != "GET") {
    record.error_code = code::kVerbNotAllowed;
    return RefusalReply(code::kVerbNotAllowed, "the endpoint answers GET only");
  }
  Call call;
  try {
    call = CheckCall(
        request, query, record.time_ms / 1000,
        [this](std::string_view token) { return ResolveToken(token); }, record);
  } catch (const Refusal& refusal) {
    record.error_code = refusal.code();
    return FaultRefusal(RefusalReply(refusal.code(), refusal.what(), 200), record);
  } catch (const StoreError& error) {
    record.error_code = code::kInternal;
    return FaultRefusal(RefusalReply(code::kInternal, error.what()), record);
  }
  std::optional<FaultRule> fault = rules_.Take(record.method, false);
  HttpReply reply;
  if (!fault || RunsHandler(fault->action)) {
    Json answer = RunHandler(router_.Find(call.rules->name), call);
    record.error_code = answer.at(U("error_code")).as_integer();
    reply = JsonReply(answer, record.error_code == code::kInternal ? 500 : 200);
  }
  if (fault) {
    if (fault->action == FaultAction::kErrorCode) record.error_code = fault->error_code;
    reply = ApplyFault(*fault, std::move(reply), record);
  }
  return reply;
}

HttpReply Service::FaultRefusal(HttpReply refusal, LogRecord& record) {
  if (record.method.empty()) return refusal;
  std::optional<FaultRule> fault = rules_.Take(record.method, true);
  if (!fault) return refusal;
  if (fault->action == FaultAction::kErrorCode) record.error_code = fault->error_code;
  return ApplyFault(*fault, std::move(refusal), record);
}

std::optional<User> Service::ResolveToken(std::string_view token) {
  return store_.Run<std::optional<User>>([&](Db& db) -> std::optional<User> {
    Query user = db.Sql("SELECT id, name FROM users WHERE token = ?", token);
    if (!user.Next()) return std::nullopt;
    return User{user.Int(0), user.Text(1), std::string(token)};
  });
}

Json Service::RunHandler(Handler handler, const Call& call) {
  if (!handler) return RefusalAnswer(code::kBadMethod, "method without a handler");
  try {
    return store_.Run<Json>([&](Db& db) {
      HandlerContext context{db, NowMs() / 1000};
      return handler(call, context);
    });
  } catch (const Refusal& refusal) {
    return RefusalAnswer(refusal.code(), refusal.what());
  } catch (const StoreError& error) {
    return RefusalAnswer(code::kInternal, error.what());
  }
}

HttpReply Service::HandleObject(const HttpRequest& request, std::string_view path,
                                LogRecord& record) {
  std::string object(path.substr(1));
  try {
    if (request.verb == "PUT") {
      Json answer = store_.Run<Json>([&](Db& db) {
        PutObject(db, UploadHeadOf(request, path), request.body, record.time_ms / 1000);
        Json stored = Answer();
        stored[U("object")] = Text(object);
        stored[U("size")] = Number(static_cast<int64_t>(request.body.size()));
        return stored;
      });
      record.error_code = code::kOk;
      return JsonReply(answer);
    }
    if (request.verb == "GET") {
      HttpReply reply;
      reply.content_type = "application/octet-stream";
      reply.body = store_.Run<std::string>([&](Db& db) { return GetObject(db, object); });
      return reply;
    }
    record.error_code = code::kVerbNotAllowed;
    return RefusalReply(code::kVerbNotAllowed, "objects take PUT and GET");
  } catch (const Refusal& refusal) {
    record.error_code = refusal.code();
    return RefusalReply(refusal);
  } catch (const StoreError& error) {
    record.error_code = code::kInternal;
    return RefusalReply(code::kInternal, error.what());
  }
}

Resent Service::SendAgain(HttpRequest request) {
  // The same two steps as a request that arrives.
  Resent resent;
  BodyAdmission admission = Admit(request, &resent.seq);
  resent.reply = admission.refusal ? std::move(*admission.refusal) : Dispatch(request, &resent.seq);
  return resent;
}

}  // namespace lumo::sandbox
