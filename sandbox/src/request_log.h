// The log of the exchanges the sandbox received, as the inspection endpoints show them, and the
// requests of the newest ones kept whole for a replay.
#ifndef SANDBOX_SRC_REQUEST_LOG_H_
#define SANDBOX_SRC_REQUEST_LOG_H_

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/thread/mutex.h"
#include "exchange.h"

namespace lumo::sandbox {

// What the request log keeps at most, so that no client can inflate the sandbox's memory by
// sending long requests: every text of an entry (verb, target, method, a header's name or value,
// a parameter's name or value, the decrypted text, ...) is cut to `text_bytes` plus a marker,
// the texts of one entry together to `entry_bytes` (the parameters and headers beyond are
// dropped), and the oldest entries go once there are more than `entries` or their texts take
// more than `total_bytes`. The body answered to the exchange is kept up to `reply_bytes` (and
// counts against `entry_bytes`). One answer of the log holds at most `answer_bytes` of entries.
struct LogCaps {
  size_t text_bytes = size_t{4} * 1024;
  size_t reply_bytes = size_t{16} * 1024;
  size_t entry_bytes = size_t{64} * 1024;
  size_t entries = 10000;
  size_t total_bytes = size_t{32} * 1024 * 1024;
  size_t answer_bytes = size_t{8} * 1024 * 1024;
};

// The last exchanges, oldest first, within the caps, with no session token but the seed users'
// (MaskRecord): whatever reads the log can show all of it. Any thread.
class RequestLog {
 public:
  explicit RequestLog(LogCaps caps = LogCaps()) : caps_(caps) {}

  // Hides the record's tokens, cuts it to the caps, assigns its sequence number (returned) and
  // drops the oldest records beyond the caps.
  uint64_t Add(LogRecord record);
  // The kept record with that sequence number.
  std::optional<LogRecord> Find(uint64_t seq) const;
  // Copies of the newest `max` records with seq > `since`, oldest first, and the newest sequence
  // number given so far.
  uint64_t Recent(uint64_t since, size_t max, std::vector<LogRecord>* records) const;
  // The JSON answer of one page: records with seq > `since`, optionally only those of one
  // service method, oldest first, as many as fit in `answer_bytes` (always at least one).
  // "havemore" is 1 when more follow; asking again with since = "next_since" gets them.
  std::string Page(uint64_t since, const std::string& method) const;
  void Clear();
  // The newest sequence number given so far (a clear does not start them again).
  uint64_t last_seq() const;

  // What the log holds now: records, and the bytes counted against `total_bytes`.
  size_t size() const;
  size_t bytes() const;

 private:
  struct Kept {
    LogRecord record;
    size_t bytes;
  };

  const LogCaps caps_;
  mutable base::thread::Mutex mutex_;
  std::deque<Kept> records_ GUARDED_BY(mutex_);
  size_t bytes_ GUARDED_BY(mutex_) = 0;
  uint64_t next_seq_ GUARDED_BY(mutex_) = 1;
};

// What the sandbox keeps of the requests themselves, for sending one again: the newest
// `entries` of them, `total_bytes` in all (the oldest go first), none of more than
// `request_bytes` (such a request, an upload of some size say, is not kept at all).
struct KeptRequestCaps {
  size_t entries = 200;
  size_t total_bytes = size_t{8} * 1024 * 1024;
  size_t request_bytes = size_t{1} * 1024 * 1024;
};

// The requests of the newest exchanges exactly as they were received: nothing cut, no token
// hidden, the body included. The log's records are cut to its caps and their tokens hidden, so
// none could be sent again as the client sent it. Nothing reads them but a replay. Any thread.
class KeptRequests {
 public:
  explicit KeptRequests(KeptRequestCaps caps = KeptRequestCaps()) : caps_(caps) {}

  // Keeps a copy of `request` as that of exchange `seq`, and drops the oldest beyond the caps.
  void Keep(uint64_t seq, const HttpRequest& request);
  // The request of exchange `seq`, while it is kept.
  std::optional<HttpRequest> Find(uint64_t seq) const;
  void Clear();

  const KeptRequestCaps& caps() const { return caps_; }
  // What is kept now: requests, and the bytes counted against `total_bytes`.
  size_t size() const;
  size_t bytes() const;

 private:
  struct Kept {
    HttpRequest request;
    size_t bytes;
  };

  const KeptRequestCaps caps_;
  mutable base::thread::Mutex mutex_;
  std::map<uint64_t, Kept> requests_ GUARDED_BY(mutex_);  // by sequence number
  size_t bytes_ GUARDED_BY(mutex_) = 0;
};

}  // namespace lumo::sandbox

#endif  // SANDBOX_SRC_REQUEST_LOG_H_
