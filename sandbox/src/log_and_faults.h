// What the sandbox offers tests beyond the service: the log of the requests it received, and
// fault rules that make a method misbehave.
#ifndef SANDBOX_SRC_LOG_AND_FAULTS_H_
#define SANDBOX_SRC_LOG_AND_FAULTS_H_

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "exchange.h"
#include "handlers.h"

namespace lumo::sandbox {

// The last kCapacity exchanges, oldest first. Any thread.
class RequestLog {
 public:
  static constexpr size_t kCapacity = 10000;

  // Assigns the record its sequence number.
  void Add(LogRecord record);
  // Records with seq > `since`, optionally only those of one service method.
  Json ToJson(uint64_t since, const std::string& method) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::deque<LogRecord> records_;  // guarded by mutex_
  uint64_t next_seq_ = 1;          // guarded by mutex_
};

enum class FaultAction {
  kDelay,      // answer normally, late
  kClose,      // close the connection without answering
  kTruncate,   // answer normally but cut the body short
  kHtml502,    // HTML error page with status 502
  kNotJson,    // status 200, a body that is not JSON
  kErrorCode,  // {"error_code": N} instead of the method's answer
};

struct FaultRule {
  int id = 0;
  std::string method;  // a service method, or "*" for every method
  FaultAction action = FaultAction::kDelay;
  std::chrono::milliseconds delay{0};  // applies before any action
  int error_code = 0;
  int remaining = -1;  // how many more calls it applies to; -1 for all
};

// The rules in force. Any thread.
class FaultRules {
 public:
  // Parses a rule from its JSON form; throws Refusal(kBadRule).
  static FaultRule Parse(const Json& body);
  static Json ToJson(const FaultRule& rule);

  // Returns the rule with its id.
  FaultRule Add(FaultRule rule);
  // The first rule for `method` (or "*"), counting the use.
  std::optional<FaultRule> Take(const std::string& method);
  bool Remove(int id);
  void Clear();
  Json List() const;

 private:
  mutable std::mutex mutex_;
  std::vector<FaultRule> rules_;  // guarded by mutex_
  int next_id_ = 1;               // guarded by mutex_
};

const char* FaultActionName(FaultAction action);

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_LOG_AND_FAULTS_H_
