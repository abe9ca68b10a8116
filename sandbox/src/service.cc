#include "service.h"

#include <chrono>

#include "object_store.h"
#include "protocol.h"
#include "refusal.h"
#include "viewer.h"
#include "viewer_guard.h"

namespace lumo::sandbox {
namespace {

constexpr std::string_view kApiPath = "/v1/restserver/lumo";
constexpr std::string_view kSandboxPrefix = "/_sandbox/";
constexpr std::string_view kRulesPath = "/_sandbox/rules";

constexpr const char* kHtmlErrorPage =
    "<!DOCTYPE html>\n<html><head><title>502 Bad Gateway</title></head>\n"
    "<body><h1>502 Bad Gateway</h1><p>The upstream server did not answer.</p></body></html>\n";

// How many entries of the log a new event stream starts with, and how many bytes of them.
constexpr size_t kEventBacklogEntries = 200;
constexpr size_t kEventBacklogBytes = size_t{2} * 1024 * 1024;

// What every answer under /_sandbox/ carries: the page runs only its own files (no inline
// script, nothing from elsewhere), no page may frame it, and no answer is read as another type.
constexpr std::pair<const char*, const char*> kInspectionHeaders[] = {
    {"Content-Security-Policy",
     "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
     "connect-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'; "
     "frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"X-Frame-Options", "DENY"},
    {"Referrer-Policy", "no-referrer"},
    {"Cross-Origin-Resource-Policy", "same-origin"},
};

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

HttpReply JsonReply(const Json& answer, int status = 200) {
  HttpReply reply;
  reply.status = status;
  reply.body = answer.serialize();
  return reply;
}

Json RefusalAnswer(int error_code, const std::string& message) {
  Json answer = Answer(error_code);
  answer["error_msg"] = Text(message);
  return answer;
}

// Object store refusals also carry an HTTP status, as a storage service answers.
int ObjectStoreStatus(int error_code) {
  switch (error_code) {
    case code::kNoUploadGrant:
    case code::kGrantUsed:
    case code::kGrantExpired:
      return 403;
    case code::kNoSuchObject:
      return 404;
    case code::kLengthRequired:
      return 411;
    case code::kBodyTooLarge:
      return 413;
    default:
      return 400;
  }
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
      reply.body = RefusalAnswer(rule.error_code, "fault rule").serialize();
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

// The exchange a replay's body, {"seq": N}, names.
uint64_t ReplayedSeq(const std::string& body) {
  const char* const kForm = "a replay's body is {\"seq\": N}, N an exchange's sequence number";
  Json parsed;
  try {
    parsed = Json::parse(body);
  } catch (const web::json::json_exception&) {
    throw Refusal(code::kInvalidValue, kForm);
  }
  if (!parsed.is_object() || parsed.size() != 1 || !parsed.has_field("seq") ||
      !parsed.at("seq").is_integer() || !parsed.at("seq").as_number().is_uint64()) {
    throw Refusal(code::kInvalidValue, kForm);
  }
  return parsed.at("seq").as_number().to_uint64();
}

// Faults that replace the answer keep the handler from running, so they leave no write behind.
bool RunsHandler(FaultAction action) {
  return action == FaultAction::kDelay || action == FaultAction::kTruncate;
}

}  // namespace

HttpReply RefusalReply(int error_code, const std::string& message, int status) {
  return JsonReply(RefusalAnswer(error_code, message), status);
}

Service::Service(const std::string& db_path, std::string listen_address)
    : store_(db_path),
      listen_address_(std::move(listen_address)),
      backlog_(
          [this](uint64_t after, size_t max) {
            std::vector<LogRecord> records;
            log_.Recent(after, max, &records);
            std::vector<EventBacklog::Entry> frames;
            frames.reserve(records.size());
            for (const LogRecord& record : records) {
              frames.push_back({record.seq, EventFrame(record.seq, "exchange",
                                                       ViewerEntry(record, false).serialize())});
            }
            return frames;
          },
          kEventBacklogEntries, kEventBacklogBytes) {}

BodyAdmission Service::AdmitBody(const HttpRequest& head) { return Admit(head, nullptr); }

BodyAdmission Service::Admit(const HttpRequest& head, uint64_t* logged) {
  std::string_view path = PathOf(head.target);
  if (head.verb == "PUT" && IsObjectPath(path)) return AdmitUpload(head, path, logged);
  uint64_t limit = path == kRulesPath ? kMaxRuleBody : kMaxRequestBody;
  if (head.content_length.value_or(0) > limit) {
    return {RefusalReply(code::kBodyTooLarge,
                         "a body here takes at most " + std::to_string(limit) + " bytes", 413)};
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
    refusal = RefusalReply(refused.code(), refused.what(), ObjectStoreStatus(refused.code()));
  } catch (const StoreError& error) {
    record.error_code = code::kInternal;
    refusal = RefusalReply(code::kInternal, error.what(), 500);
  }
  record.http_status = refusal.status;
  record.answer = refusal.body;
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
    return RefusalReply(code::kInternal, error.what(), 500);
  }
}

HttpReply Service::Dispatch(const HttpRequest& request, uint64_t* logged) {
  std::string_view path = PathOf(request.target);
  std::string_view query = QueryOf(request.target);
  if (path.substr(0, kSandboxPrefix.size()) == kSandboxPrefix) {
    return HandleSandbox(request, path, query);
  }

  auto start = std::chrono::steady_clock::now();
  LogRecord record = NewRecord(request);
  HttpReply reply;
  if (path == kApiPath) {
    reply = HandleApi(request, query, record);
  } else if (IsObjectPath(path)) {
    reply = HandleObject(request, path, record);
  } else {
    reply = RefusalReply(code::kNotFound, "no such path", 404);
    record.error_code = code::kNotFound;
  }
  record.http_status = reply.status;
  if (reply.delivery != Delivery::kClose) {
    record.answer = reply.body;
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
  std::string frame = EventFrame(seq, "exchange", ViewerEntry(*kept, false).serialize());
  backlog_.Offer(seq, frame);
  events_.Publish(seq, frame);
  return seq;
}

void Service::ClearLog() {
  log_.Clear();
  kept_.Clear();
  backlog_.Clear();
  events_.Publish(0, EventFrame(0, "reset", "{}"));
}

HttpReply Service::HandleApi(const HttpRequest& request, std::string_view query,
                             LogRecord& record) {
  if (request.verb != "GET") {
    record.error_code = code::kVerbNotAllowed;
    return RefusalReply(code::kVerbNotAllowed, "the endpoint answers GET only", 405);
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
    return FaultRefusal(RefusalReply(code::kInternal, error.what(), 500), record);
  }
  std::optional<FaultRule> fault = rules_.Take(record.method, false);
  HttpReply reply;
  if (!fault || RunsHandler(fault->action)) {
    Json answer = RunHandler(router_.Find(call.rules->name), call);
    record.error_code = answer.at("error_code").as_integer();
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
        stored["object"] = Text(object);
        stored["size"] = Number(static_cast<int64_t>(request.body.size()));
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
    return RefusalReply(code::kVerbNotAllowed, "objects take PUT and GET", 405);
  } catch (const Refusal& refusal) {
    record.error_code = refusal.code();
    return RefusalReply(refusal.code(), refusal.what(), ObjectStoreStatus(refusal.code()));
  } catch (const StoreError& error) {
    record.error_code = code::kInternal;
    return RefusalReply(code::kInternal, error.what(), 500);
  }
}

HttpReply Service::HandleSandbox(const HttpRequest& request, std::string_view path,
                                 std::string_view query) {
  HttpReply reply = HandleInspection(request, path.substr(kSandboxPrefix.size()), query);
  for (const auto& [name, value] : kInspectionHeaders) reply.headers.emplace_back(name, value);
  return reply;
}

HttpReply Service::HandleInspection(const HttpRequest& request, std::string_view what,
                                    std::string_view query) {
  const std::string& verb = request.verb;
  if (!request.from_loopback) {
    return RefusalReply(code::kNotLoopback, "the sandbox answers this to loopback peers only", 403);
  }
  if (std::optional<GuardRefusal> refused = GuardInspection(request, what, listen_address_)) {
    return RefusalReply(refused->error_code, refused->message, refused->status);
  }
  try {
    if (what.empty() || what == "events" || what == "exchange" || what == "state" ||
        FindViewerAsset(what)) {
      return HandleViewer(request, what, query);
    }
    if (what == "log") {
      if (verb == "DELETE") {
        ClearLog();
        return JsonReply(Answer());
      }
      if (verb == "GET") {
        Pairs pairs = ParseQuery(query);
        const std::string* since = FindPair(pairs, "since");
        const std::string* method = FindPair(pairs, "method");
        uint64_t after = 0;
        if (since) {
          try {
            after = std::stoull(*since);
          } catch (const std::exception&) {
            throw Refusal(code::kInvalidValue, "since: not a number");
          }
        }
        HttpReply reply;
        reply.body = log_.Page(after, method ? *method : std::string());
        return reply;
      }
    } else if (what == "rules") {
      if (verb == "GET") return JsonReply(rules_.List());
      if (verb == "DELETE") {
        rules_.Clear();
        return JsonReply(Answer());
      }
      if (verb == "POST") {
        Json body;
        try {
          body = Json::parse(request.body);
        } catch (const web::json::json_exception& error) {
          throw Refusal(code::kBadRule, std::string("rule body is not JSON: ") + error.what());
        }
        Json answer = Answer();
        answer["rule"] = FaultRules::ToJson(rules_.Add(FaultRules::Parse(body)));
        return JsonReply(answer);
      }
    } else if (what.substr(0, 6) == "rules/") {
      if (verb == "DELETE") {
        int id = 0;
        try {
          id = std::stoi(std::string(what.substr(6)));
        } catch (const std::exception&) {
          throw Refusal(code::kNoSuchRule, "no such rule");
        }
        if (!rules_.Remove(id)) throw Refusal(code::kNoSuchRule, "no such rule");
        return JsonReply(Answer());
      }
    } else if (what == "replay") {
      if (verb == "POST") return Replay(request);
    } else if (what == "reset") {
      if (verb == "POST") {
        store_.Reset();
        rules_.Clear();
        ClearLog();
        return JsonReply(Answer());
      }
    } else {
      return RefusalReply(code::kNotFound, "no such path", 404);
    }
    return RefusalReply(code::kVerbNotAllowed, "verb not allowed here", 405);
  } catch (const Refusal& refusal) {
    int status = refusal.code() == code::kNoSuchRule     ? 404
                 : refusal.code() == code::kTooManyRules ? 429
                                                         : 400;
    return RefusalReply(refusal.code(), refusal.what(), status);
  } catch (const StoreError& error) {
    return RefusalReply(code::kInternal, error.what(), 500);
  }
}

HttpReply Service::Replay(const HttpRequest& request) {
  uint64_t of = ReplayedSeq(request.body);
  std::optional<HttpRequest> again = kept_.Find(of);
  if (!again) {
    if (of == 0 || of > log_.last_seq()) {
      return RefusalReply(code::kNotFound, "no exchange #" + std::to_string(of) + " was logged",
                          404);
    }
    const KeptRequestCaps caps;  // the caps kept_ has
    return RefusalReply(code::kRequestNotKept,
                        "the request of exchange #" + std::to_string(of) +
                            " is no longer kept: the sandbox keeps the requests of the newest " +
                            std::to_string(caps.entries) + " exchanges, " +
                            std::to_string(caps.total_bytes >> 20) + " MiB in all, none over " +
                            std::to_string(caps.request_bytes >> 20) +
                            " MiB and none of an upload refused before its body was read, and "
                            "forgets them when the log is emptied",
                        410);
  }
  // The same two steps as a request that arrives, checked as of now: fault rules meet it as any
  // call, a signed address whose timestamp is more than 300 s old is refused as a client's late
  // retry would be, and a grant for one upload does not take a second. That is what sending it
  // again means; a replay that signed the address anew or passed a rule by would show an exchange
  // no client could have had.
  again->replay_of = of;
  uint64_t logged = 0;
  BodyAdmission admission = Admit(*again, &logged);
  HttpReply replayed =
      admission.refusal ? std::move(*admission.refusal) : Dispatch(*again, &logged);
  Json answer = Answer();
  answer["seq"] = Number(static_cast<int64_t>(logged));
  answer["replay_of"] = Number(static_cast<int64_t>(of));
  answer["http_status"] = Number(replayed.status);
  if (std::optional<LogRecord> record = log_.Find(logged)) {
    answer["entry"] = ViewerEntry(*record, false);
  }
  // A rule's delay holds this answer back as it would the exchange's. A rule that closes the
  // connection or cuts or bloats the body shows in the new entry only: the answer here is the
  // replay's, not the exchange's.
  HttpReply reply = JsonReply(answer);
  reply.delay = replayed.delay;
  return reply;
}

HttpReply Service::HandleViewer(const HttpRequest& request, std::string_view what,
                                std::string_view query) {
  if (request.verb != "GET")
    return RefusalReply(code::kVerbNotAllowed, "verb not allowed here", 405);
  if (what == "events") return EventStream(request, query);
  HttpReply reply;
  reply.headers.emplace_back("Cache-Control", "no-store");
  if (what == "state") {
    reply.body = store_.Run<Json>([](Db& db) { return StateAnswer(db); }).serialize();
    return reply;
  }
  if (what == "exchange") {
    Pairs pairs = ParseQuery(query);
    const std::string* seq = FindPair(pairs, "seq");
    std::optional<LogRecord> record;
    try {
      if (seq) record = log_.Find(std::stoull(*seq));
    } catch (const std::exception&) {
      throw Refusal(code::kInvalidValue, "seq: not a number");
    }
    if (!record) return RefusalReply(code::kNotFound, "the log no longer holds this exchange", 404);
    Json answer = Answer();
    answer["entry"] = ViewerEntry(*record, true);
    reply.body = answer.serialize();
    return reply;
  }
  const ViewerAsset* asset = FindViewerAsset(what);
  reply.content_type = asset->content_type;
  reply.body.assign(reinterpret_cast<const char*>(asset->data), asset->size);
  return reply;
}

HttpReply Service::EventStream(const HttpRequest& request, std::string_view query) {
  // A reconnecting EventSource names the last event it got; a first connection may ask with
  // "since", else it starts with the newest entries.
  uint64_t since = 0;
  const std::string* last = request.Header("last-event-id");
  Pairs pairs = ParseQuery(query);
  if (!last) last = FindPair(pairs, "since");
  if (last) {
    try {
      since = std::stoull(*last);
    } catch (const std::exception&) {
      throw Refusal(code::kInvalidValue, "since: not a number");
    }
  }
  std::shared_ptr<EventFeed> feed = events_.Subscribe();
  if (!feed) return RefusalReply(code::kTooManyFollowers, "too many clients follow the log", 503);
  // Subscribed first, so that nothing logged from here on is missed; what the backlog holds
  // already is kept out of the feed by its floor.
  uint64_t newest = 0;
  std::string backlog = backlog_.Since(since, &newest);
  feed->SetFloor(newest);
  HttpReply reply;
  reply.content_type = "text/event-stream; charset=utf-8";
  reply.headers.emplace_back("Cache-Control", "no-store");
  reply.delivery = Delivery::kEvents;
  reply.events = std::move(feed);
  reply.body.reserve(backlog.size() + 16);
  reply.body = "retry: 1000\n\n";
  reply.body += backlog;
  return reply;
}

}  // namespace lumo::sandbox
