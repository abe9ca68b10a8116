#include "sandbox_api.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include "handlers.h"
#include "protocol.h"
#include "query.h"
#include "refusal.h"
#include "reply.h"
#include "viewer.h"
#include "viewer_guard.h"

namespace lumo::sandbox {
namespace {

// What every answer under /_sandbox/ carries: the page runs only its own files (no inline
// script, nothing from elsewhere), no page may frame it, and no answer is read as another type.
constexpr std::pair<const char*, const char*> kApiHeaders[] = {
    {"Content-Security-Policy",
     "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
     "connect-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'; "
     "frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"X-Frame-Options", "DENY"},
    {"Referrer-Policy", "no-referrer"},
    {"Cross-Origin-Resource-Policy", "same-origin"},
};

// `text` as a decimal number from 0 to 2^64-1: digits only, no sign, blank or point.
std::optional<uint64_t> ParseDecimal(std::string_view text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A number the API is given (a query parameter, a header), `fallback` when it is absent. Throws
// Refusal(kInvalidValue) whose text names `field` and says what is wrong with it.
uint64_t NumberField(std::string_view field, const std::string* text, uint64_t fallback) {
  if (!text) return fallback;
  if (std::optional<uint64_t> value = ParseDecimal(*text)) return *value;
  std::string why = text->empty() ? "empty, a decimal number is expected"
                    : text->find_first_not_of("0123456789") != std::string::npos
                        ? "not a decimal number"
                        : "larger than " + std::to_string(std::numeric_limits<uint64_t>::max());
  throw Refusal(code::kInvalidValue, std::string(field) + ": " + why);
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
  if (!parsed.is_object() || parsed.size() != 1 || !parsed.has_field(U("seq")) ||
      !parsed.at(U("seq")).is_integer() || !parsed.at(U("seq")).as_number().is_uint64()) {
    throw Refusal(code::kInvalidValue, kForm);
  }
  return parsed.at(U("seq")).as_number().to_uint64();
}

// What the path of one rule starts with; the rule's id follows.
constexpr std::string_view kRulePrefix = "rules/";

// An answer the browser keeps no copy of.
HttpReply Uncached(HttpReply reply) {
  reply.headers.emplace_back("Cache-Control", "no-store");
  return reply;
}

}  // namespace

const SandboxApi::Route SandboxApi::kRoutes[] = {
    {Match::kViewerFile, "", "GET", &SandboxApi::ViewerFile},
    {Match::kExact, "protocol", "GET", &SandboxApi::Protocol},
    {Match::kExact, "state", "GET", &SandboxApi::State},
    {Match::kExact, "exchange", "GET", &SandboxApi::Exchange},
    {Match::kExact, "events", "GET", &SandboxApi::Events},
    {Match::kExact, "log", "GET", &SandboxApi::ReadLog},
    {Match::kExact, "log", "DELETE", &SandboxApi::ClearLog},
    {Match::kExact, "rules", "GET", &SandboxApi::ListRules},
    {Match::kExact, "rules", "POST", &SandboxApi::AddRule},
    {Match::kExact, "rules", "DELETE", &SandboxApi::ClearRules},
    {Match::kPrefix, kRulePrefix, "DELETE", &SandboxApi::RemoveRule},
    {Match::kExact, "replay", "POST", &SandboxApi::Replay},
    {Match::kExact, "reset", "POST", &SandboxApi::Reset},
};

SandboxApi::SandboxApi(ApiState state, std::string listen_address, SendAgain send_again)
    : state_(state),
      listen_address_(std::move(listen_address)),
      send_again_(std::move(send_again)) {}

HttpReply SandboxApi::Handle(const HttpRequest& request) {
  HttpReply reply = Respond(request);
  for (const auto& [name, value] : kApiHeaders) reply.headers.emplace_back(name, value);
  return reply;
}

HttpReply SandboxApi::Respond(const HttpRequest& request) {
  std::string_view target = request.target;
  std::string_view path = target.substr(0, target.find('?'));
  path.remove_prefix(std::min(path.size(), kApiPrefix.size()));
  try {
    if (!request.from_loopback) {
      throw Refusal(code::kNotLoopback, "the sandbox answers this to loopback peers only");
    }
    if (std::optional<GuardRefusal> refused = GuardApi(request, path, listen_address_)) {
      throw Refusal(refused->error_code, refused->message);
    }
    const Route& route = FindRoute(path, request.verb);
    return (this->*route.handle)(Asked{request, path, QueryOf(target)});
  } catch (const Refusal& refusal) {
    return RefusalReply(refusal);
  } catch (const StoreError& error) {
    return RefusalReply(code::kInternal, error.what());
  }
}

bool SandboxApi::Matches(const Route& route, std::string_view path) {
  switch (route.match) {
    case Match::kExact:
      return path == route.path;
    case Match::kPrefix:
      return path.substr(0, route.path.size()) == route.path;
    case Match::kViewerFile:
      return FindViewerAsset(path) != nullptr;
  }
  return false;
}

const SandboxApi::Route& SandboxApi::FindRoute(std::string_view path, std::string_view verb) {
  bool known = false;
  for (const Route& route : kRoutes) {
    if (!Matches(route, path)) continue;
    if (route.verb == verb) return route;
    known = true;
  }
  if (known) throw Refusal(code::kVerbNotAllowed, "verb not allowed here");
  throw Refusal(code::kNotFound, "no such path");
}

HttpReply SandboxApi::ViewerFile(const Asked& asked) {
  const ViewerAsset* asset = FindViewerAsset(asked.path);
  HttpReply reply;
  reply.content_type = asset->content_type;
  reply.body.assign(reinterpret_cast<const char*>(asset->data), asset->size);
  return Uncached(std::move(reply));
}

HttpReply SandboxApi::Protocol(const Asked&) {
  Json methods = Json::array();
  size_t i = 0;
  for (const MethodRules& rules : AllMethods()) methods[i++] = Text(rules.name);
  Json codes = Json::array();
  i = 0;
  for (const ServiceCode& row : kServiceCodes) {
    Json code = Json::object();
    code[U("code")] = Number(row.number);
    code[U("name")] = Text(row.name);
    code[U("meaning")] = Text(row.meaning);
    code[U("http_status")] = Number(row.http_status);
    codes[i++] = std::move(code);
  }
  Json answer = Answer();
  answer[U("methods")] = methods;
  answer[U("codes")] = codes;
  return Uncached(JsonReply(answer));
}

HttpReply SandboxApi::State(const Asked&) {
  HttpReply reply;
  reply.body = Serialized(state_.store.Run<Json>([](Db& db) { return StateAnswer(db); }));
  return Uncached(std::move(reply));
}

HttpReply SandboxApi::Exchange(const Asked& asked) {
  const Pairs pairs = ParseQuery(asked.query);
  const std::string* seq = FindPair(pairs, "seq");
  std::optional<LogRecord> record;
  if (seq) record = state_.log.Find(NumberField("seq", seq, 0));
  if (!record) throw Refusal(code::kNotFound, "the log no longer holds this exchange");
  Json answer = Answer();
  answer[U("entry")] = ViewerEntry(*record, true);
  HttpReply reply;
  reply.body = Serialized(answer);
  return Uncached(std::move(reply));
}

HttpReply SandboxApi::Events(const Asked& asked) {
  // A reconnecting EventSource names the last event it got; a first connection may ask with
  // "since", else it starts with the newest entries.
  const Pairs pairs = ParseQuery(asked.query);
  const std::string* last = asked.request.Header("last-event-id");
  uint64_t since = last ? NumberField("Last-Event-ID", last, 0)
                        : NumberField("since", FindPair(pairs, "since"), 0);
  std::shared_ptr<EventFeed> feed = state_.events.Subscribe();
  if (!feed) throw Refusal(code::kTooManyFollowers, "too many clients follow the log");
  // Subscribed first, so that nothing logged from here on is missed; what the backlog holds
  // already is kept out of the feed by its floor.
  uint64_t newest = 0;
  std::string backlog = state_.backlog.Since(since, &newest);
  feed->SetFloor(newest);
  HttpReply reply;
  reply.content_type = "text/event-stream; charset=utf-8";
  reply.delivery = Delivery::kEvents;
  reply.events = std::move(feed);
  reply.body.reserve(backlog.size() + 16);
  reply.body = "retry: 1000\n\n";
  reply.body += backlog;
  return Uncached(std::move(reply));
}

HttpReply SandboxApi::ReadLog(const Asked& asked) {
  const Pairs pairs = ParseQuery(asked.query);
  const std::string* method = FindPair(pairs, "method");
  HttpReply reply;
  reply.body = state_.log.Page(NumberField("since", FindPair(pairs, "since"), 0),
                               method ? *method : std::string());
  return reply;
}

HttpReply SandboxApi::ClearLog(const Asked&) {
  EmptyLog();
  return JsonReply(Answer());
}

HttpReply SandboxApi::ListRules(const Asked&) { return JsonReply(state_.rules.List()); }

HttpReply SandboxApi::AddRule(const Asked& asked) {
  Json body;
  try {
    body = Json::parse(asked.request.body);
  } catch (const web::json::json_exception& error) {
    throw Refusal(code::kBadRule, std::string("rule body is not JSON: ") + error.what());
  }
  Json answer = Answer();
  answer[U("rule")] = FaultRules::ToJson(state_.rules.Add(FaultRules::Parse(body)));
  return JsonReply(answer);
}

HttpReply SandboxApi::ClearRules(const Asked&) {
  state_.rules.Clear();
  return JsonReply(Answer());
}

HttpReply SandboxApi::RemoveRule(const Asked& asked) {
  // A path that names no rule, a number or not, is not found.
  std::optional<uint64_t> id = ParseDecimal(asked.path.substr(kRulePrefix.size()));
  if (!id || *id > static_cast<uint64_t>(std::numeric_limits<int>::max()) ||
      !state_.rules.Remove(static_cast<int>(*id))) {
    throw Refusal(code::kNoSuchRule, "no such rule");
  }
  return JsonReply(Answer());
}

HttpReply SandboxApi::Replay(const Asked& asked) {
  uint64_t of = ReplayedSeq(asked.request.body);
  std::optional<HttpRequest> again = state_.kept.Find(of);
  if (!again) {
    if (of == 0 || of > state_.log.last_seq()) {
      throw Refusal(code::kNotFound, "no exchange #" + std::to_string(of) + " was logged");
    }
    const KeptRequestCaps& caps = state_.kept.caps();
    throw Refusal(code::kRequestNotKept,
                  "the request of exchange #" + std::to_string(of) +
                      " is no longer kept: the sandbox keeps the requests of the newest " +
                      std::to_string(caps.entries) + " exchanges, " +
                      std::to_string(caps.total_bytes >> 20) + " MiB in all, none over " +
                      std::to_string(caps.request_bytes >> 20) +
                      " MiB and none of an upload refused before its body was read, and "
                      "forgets them when the log is emptied");
  }
  // Sent as a request that arrives, checked as of now: fault rules meet it as any call, a signed
  // address whose timestamp is more than 300 s old is refused as a client's late retry would be,
  // and a grant for one upload does not take a second. That is what sending it again means; a
  // replay that signed the address anew or passed a rule by would show an exchange no client
  // could have had.
  again->replay_of = of;
  Resent resent = send_again_(std::move(*again));
  Json answer = Answer();
  answer[U("seq")] = Number(static_cast<int64_t>(resent.seq));
  answer[U("replay_of")] = Number(static_cast<int64_t>(of));
  answer[U("http_status")] = Number(resent.reply.status);
  if (std::optional<LogRecord> record = state_.log.Find(resent.seq)) {
    answer[U("entry")] = ViewerEntry(*record, false);
  }
  // A rule's delay holds this answer back as it would the exchange's. A rule that closes the
  // connection or cuts or bloats the body shows in the new entry only: the answer here is the
  // replay's, not the exchange's.
  HttpReply reply = JsonReply(answer);
  reply.delay = resent.reply.delay;
  return reply;
}

HttpReply SandboxApi::Reset(const Asked&) {
  state_.store.Reset();
  state_.rules.Clear();
  EmptyLog();
  return JsonReply(Answer());
}

void SandboxApi::EmptyLog() {
  state_.log.Clear();
  state_.kept.Clear();
  state_.backlog.Clear();
  state_.events.Publish(0, EventFrame(0, "reset", "{}"));
}

}  // namespace lumo::sandbox
