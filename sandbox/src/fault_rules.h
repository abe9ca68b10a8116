// Fault rules: what makes a method of the service misbehave on purpose (answer late, drop the
// connection, cut or bloat the body, answer an HTML page, non-JSON or a chosen code).
#ifndef SANDBOX_SRC_FAULT_RULES_H_
#define SANDBOX_SRC_FAULT_RULES_H_

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/thread/mutex.h"
#include "handlers.h"

namespace lumo::sandbox {

enum class FaultAction {
  kDelay,      // answer normally, late
  kClose,      // close the connection without answering
  kTruncate,   // answer normally but cut the body short
  kHtml502,    // HTML error page with status 502
  kNotJson,    // status 200, a body that is not JSON
  kErrorCode,  // {"error_code": N} instead of the method's answer
  kVerbatim,   // status 200, a JSON content type and the rule's body text as it is
  kOversize,   // status 200, a JSON body larger than a client of the library accepts
};

// The longest body text a verbatim rule takes.
inline constexpr size_t kMaxVerbatimBody = size_t{64} * 1024;
// The most rules in force at once, and the longest method name a rule names (the service's are
// far shorter): together with the body's cap they bound what the rules hold and what listing
// them costs.
inline constexpr size_t kMaxRules = 100;
inline constexpr size_t kMaxRuleMethod = 128;

struct FaultRule {
  int id = 0;
  std::string method;  // a service method, or "*" for every method
  FaultAction action = FaultAction::kDelay;
  std::chrono::milliseconds delay{0};  // applies before any action
  int error_code = 0;
  std::string body;      // the verbatim action's answer
  int skip = 0;          // matching calls still to let through before the rule applies
  int remaining = -1;    // how many more calls it applies to; -1 for all
  bool refused = false;  // applies to calls that fail the protocol checks as well
};

// The rules in force. Any thread.
class FaultRules {
 public:
  // Parses a rule from its JSON form; throws Refusal(kBadRule).
  static FaultRule Parse(const Json& body);
  static Json ToJson(const FaultRule& rule);

  // Returns the rule with its id; throws Refusal(kTooManyRules) when kMaxRules are in force.
  FaultRule Add(FaultRule rule);
  // The first rule for `method` (or "*") that has no more calls to skip, counting the use; a
  // rule that still skips counts the call as skipped and lets the next rules decide. A call that
  // failed the protocol checks (`refused`) is seen only by rules that ask for such calls.
  std::optional<FaultRule> Take(const std::string& method, bool refused);
  bool Remove(int id);
  void Clear();
  Json List() const;

 private:
  mutable base::thread::Mutex mutex_;
  std::vector<FaultRule> rules_ GUARDED_BY(mutex_);
  int next_id_ GUARDED_BY(mutex_) = 1;
};

const char* FaultActionName(FaultAction action);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_FAULT_RULES_H_
