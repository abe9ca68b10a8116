#include "fault_rules.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "refusal.h"

namespace lumo::sandbox {
namespace {

struct ActionName {
  FaultAction action;
  const char* name;
};
constexpr ActionName kActionNames[] = {
    {FaultAction::kDelay, "delay"},       {FaultAction::kClose, "close"},
    {FaultAction::kTruncate, "truncate"}, {FaultAction::kHtml502, "html502"},
    {FaultAction::kNotJson, "not_json"},  {FaultAction::kErrorCode, "error_code"},
    {FaultAction::kVerbatim, "verbatim"}, {FaultAction::kOversize, "oversize"},
};

[[noreturn]] void BadRule(const std::string& why) { throw Refusal(code::kBadRule, why); }

}  // namespace

const char* FaultActionName(FaultAction action) {
  for (const ActionName& entry : kActionNames) {
    if (entry.action == action) return entry.name;
  }
  return "";
}

FaultRule FaultRules::Parse(const Json& body) {
  if (!body.is_object()) BadRule("a rule is a JSON object");
  FaultRule rule;
  const auto& object = body.as_object();
  for (const auto& member : object) {
    const std::string key = Utf8(member.first);
    if (key != "method" && key != "action" && key != "delay_ms" && key != "error_code" &&
        key != "body" && key != "skip" && key != "count" && key != "refused") {
      BadRule("unknown rule field " + key);
    }
  }
  auto text = [&](const char* key) -> std::string {
    auto found = object.find(JsonString(key));
    if (found == object.end()) return std::string();
    if (!found->second.is_string()) BadRule(std::string(key) + " must be a string");
    return Utf8(found->second.as_string());
  };
  auto integer = [&](const char* key, int fallback, int min, int max) -> int {
    auto found = object.find(JsonString(key));
    if (found == object.end()) return fallback;
    if (!found->second.is_integer()) BadRule(std::string(key) + " must be an integer");
    int value = found->second.as_integer();
    if (value < min || value > max) BadRule(std::string(key) + " out of range");
    return value;
  };
  rule.method = text("method");
  if (rule.method.empty()) BadRule("method is required (a service method or \"*\")");
  if (rule.method.size() > kMaxRuleMethod) {
    BadRule("method takes at most " + std::to_string(kMaxRuleMethod) + " bytes");
  }
  std::string action = text("action");
  auto named = std::find_if(std::begin(kActionNames), std::end(kActionNames),
                            [&](const ActionName& entry) { return action == entry.name; });
  if (named == std::end(kActionNames)) {
    BadRule(
        "action must be delay, close, truncate, html502, not_json, error_code, verbatim or "
        "oversize");
  }
  rule.action = named->action;
  rule.delay = std::chrono::milliseconds(integer("delay_ms", 0, 0, 60000));
  rule.error_code = integer("error_code", 0, INT32_MIN, INT32_MAX);
  if (rule.action == FaultAction::kErrorCode && object.find(U("error_code")) == object.end()) {
    BadRule("action error_code needs \"error_code\"");
  }
  if (rule.action == FaultAction::kDelay && rule.delay.count() == 0) {
    BadRule("action delay needs \"delay_ms\"");
  }
  auto body_field = object.find(U("body"));
  if (body_field != object.end()) {
    if (rule.action != FaultAction::kVerbatim) BadRule("only action verbatim takes \"body\"");
    rule.body = text("body");
    if (rule.body.size() > kMaxVerbatimBody) {
      BadRule("body takes at most " + std::to_string(kMaxVerbatimBody) + " bytes");
    }
  } else if (rule.action == FaultAction::kVerbatim) {
    BadRule("action verbatim needs \"body\"");
  }
  rule.skip = integer("skip", 0, 0, 1000000);
  rule.remaining = integer("count", -1, -1, 1000000);
  if (rule.remaining == 0) BadRule("count must be positive, or -1 for every call");
  auto refused = object.find(U("refused"));
  if (refused != object.end()) {
    if (!refused->second.is_boolean()) BadRule("refused must be true or false");
    rule.refused = refused->second.as_bool();
  }
  return rule;
}

Json FaultRules::ToJson(const FaultRule& rule) {
  Json json = Json::object();
  json[U("id")] = Number(rule.id);
  json[U("method")] = Text(rule.method);
  json[U("action")] = Text(FaultActionName(rule.action));
  json[U("delay_ms")] = Number(rule.delay.count());
  json[U("error_code")] = Number(rule.error_code);
  if (rule.action == FaultAction::kVerbatim) json[U("body")] = Text(rule.body);
  json[U("skip")] = Number(rule.skip);
  json[U("count")] = Number(rule.remaining);
  json[U("refused")] = Json::boolean(rule.refused);
  return json;
}

FaultRule FaultRules::Add(FaultRule rule) {
  base::thread::MutexLock lock(&mutex_);
  if (rules_.size() >= kMaxRules) {
    throw Refusal(code::kTooManyRules, "at most " + std::to_string(kMaxRules) +
                                           " rules are in force at once; remove some first");
  }
  rule.id = next_id_++;
  rules_.push_back(rule);
  return rule;
}

std::optional<FaultRule> FaultRules::Take(const std::string& method, bool refused) {
  base::thread::MutexLock lock(&mutex_);
  for (auto it = rules_.begin(); it != rules_.end(); ++it) {
    if (it->method != "*" && it->method != method) continue;
    if (refused && !it->refused) continue;
    if (it->skip > 0) {
      --it->skip;
      continue;
    }
    FaultRule rule = *it;
    if (it->remaining > 0 && --it->remaining == 0) rules_.erase(it);
    return rule;
  }
  return std::nullopt;
}

bool FaultRules::Remove(int id) {
  base::thread::MutexLock lock(&mutex_);
  auto it = std::find_if(rules_.begin(), rules_.end(),
                         [id](const FaultRule& rule) { return rule.id == id; });
  if (it == rules_.end()) return false;
  rules_.erase(it);
  return true;
}

void FaultRules::Clear() {
  base::thread::MutexLock lock(&mutex_);
  rules_.clear();
}

Json FaultRules::List() const {
  base::thread::MutexLock lock(&mutex_);
  Json list = Json::array();
  for (size_t i = 0; i < rules_.size(); ++i) list[i] = ToJson(rules_[i]);
  Json answer = Answer();
  answer[U("rules")] = list;
  return answer;
}

}  // namespace lumo::sandbox
