#include "request_log.h"

#include "handlers.h"
#include "refusal.h"
#include "token_mask.h"

namespace lumo::sandbox {
namespace {

Json PairsToObject(const std::vector<std::pair<std::string, std::string>>& pairs) {
  Json object = Json::object();
  for (const auto& [name, value] : pairs) object[JsonString(name)] = Text(value);
  return object;
}

Json RecordToJson(const LogRecord& record) {
  Json entry = Json::object();
  entry[U("seq")] = Number(static_cast<int64_t>(record.seq));
  entry[U("time_ms")] = Number(record.time_ms);
  entry[U("verb")] = Text(record.verb);
  entry[U("target")] = Text(record.target);
  entry[U("method")] = Text(record.method);
  entry[U("form")] = Text(record.form);
  entry[U("params")] = PairsToObject(record.params);
  Json order = Json::array();
  for (size_t i = 0; i < record.params.size(); ++i) order[i] = Text(record.params[i].first);
  entry[U("param_order")] = order;
  entry[U("inner_text")] = Text(record.inner_text);
  entry[U("user_id")] = Text(record.user_id);
  entry[U("headers")] = PairsToObject(record.headers);
  entry[U("body_size")] = Number(static_cast<int64_t>(record.body_size));
  entry[U("http_status")] = Number(record.http_status);
  entry[U("error_code")] = Number(record.error_code);
  entry[U("fault")] = Text(record.fault);
  entry[U("cut")] = Json::boolean(record.cut);
  entry[U("answer")] = Text(record.answer);
  entry[U("answer_type")] = Text(record.answer_type);
  entry[U("answer_size")] = Number(static_cast<int64_t>(record.answer_size));
  entry[U("took_us")] = Number(record.took_us);
  entry[U("replay_of")] = Number(static_cast<int64_t>(record.replay_of));
  return entry;
}

// What a text costs the log: its bytes and the string holding them.
constexpr size_t kTextOverhead = 32;
constexpr size_t kRecordOverhead = sizeof(LogRecord) + 64;

size_t TextCost(const std::string& text) { return text.size() + kTextOverhead; }

// Cuts `text` to at most `limit` bytes, on a UTF-8 character's boundary, and says so at its end.
void CutText(std::string& text, size_t limit, bool& cut) {
  if (text.size() <= limit) return;
  size_t keep = limit;
  while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) --keep;
  std::string marker = "...[cut from " + std::to_string(text.size()) + " bytes]";
  text.resize(keep);
  text.shrink_to_fit();
  text += marker;
  cut = true;
}

// Cuts every text of the record, then keeps parameters and headers while the entry's budget
// lasts. Returns what the record costs.
size_t FitRecord(LogRecord& record, const LogCaps& caps) {
  size_t cost = kRecordOverhead;
  for (std::string* text :
       {&record.verb, &record.target, &record.method, &record.form, &record.inner_text,
        &record.user_id, &record.fault, &record.answer_type}) {
    CutText(*text, caps.text_bytes, record.cut);
    cost += TextCost(*text);
  }
  // A cut answer is told by answer_size, not by the record's "cut".
  bool answer_cut = false;
  CutText(record.answer, caps.reply_bytes, answer_cut);
  cost += TextCost(record.answer);
  for (auto* pairs : {&record.params, &record.headers}) {
    size_t kept = 0;
    for (auto& [name, value] : *pairs) {
      CutText(name, caps.text_bytes, record.cut);
      CutText(value, caps.text_bytes, record.cut);
      size_t pair_cost = TextCost(name) + TextCost(value);
      if (cost + pair_cost > caps.entry_bytes) break;
      cost += pair_cost;
      ++kept;
    }
    if (kept < pairs->size()) {
      pairs->resize(kept);
      pairs->shrink_to_fit();
      record.cut = true;
    }
  }
  return cost;
}

// What a kept request costs, counted like the log's texts.
size_t RequestCost(const HttpRequest& request) {
  size_t cost = sizeof(HttpRequest) + TextCost(request.verb) + TextCost(request.target) +
                TextCost(request.body);
  for (const auto& [name, value] : request.headers) cost += TextCost(name) + TextCost(value);
  return cost;
}

}  // namespace

uint64_t RequestLog::Add(LogRecord record) {
  // Hidden before anything is cut, so that a token split by a cut is still found whole.
  MaskRecord(record, SeedTokens::kShown);
  size_t cost = FitRecord(record, caps_);
  base::thread::MutexLock lock(&mutex_);
  uint64_t seq = next_seq_++;
  record.seq = seq;
  records_.push_back(Kept{std::move(record), cost});
  bytes_ += cost;
  while (records_.size() > 1 && (records_.size() > caps_.entries || bytes_ > caps_.total_bytes)) {
    bytes_ -= records_.front().bytes;
    records_.pop_front();
  }
  return seq;
}

std::optional<LogRecord> RequestLog::Find(uint64_t seq) const {
  base::thread::MutexLock lock(&mutex_);
  // Sequence numbers are consecutive from the oldest kept record on.
  if (records_.empty() || seq < records_.front().record.seq) return std::nullopt;
  uint64_t index = seq - records_.front().record.seq;
  if (index >= records_.size()) return std::nullopt;
  return records_[index].record;
}

uint64_t RequestLog::Recent(uint64_t since, size_t max, std::vector<LogRecord>* records) const {
  base::thread::MutexLock lock(&mutex_);
  size_t first = records_.size();
  while (first > 0 && records_.size() - first < max && records_[first - 1].record.seq > since) {
    --first;
  }
  for (size_t i = first; i < records_.size(); ++i) records->push_back(records_[i].record);
  return next_seq_ - 1;
}

std::string RequestLog::Page(uint64_t since, const std::string& method) const {
  std::string entries;
  bool more = false;
  base::thread::MutexLock lock(&mutex_);
  uint64_t next_since = next_seq_ - 1;
  for (const Kept& kept : records_) {
    const LogRecord& record = kept.record;
    if (record.seq <= since || (!method.empty() && record.method != method)) continue;
    std::string entry = Serialized(RecordToJson(record));
    if (!entries.empty() && entries.size() + 1 + entry.size() > caps_.answer_bytes) {
      more = true;
      break;
    }
    if (!entries.empty()) entries += ',';
    entries += entry;
    next_since = record.seq;
  }
  if (!more) next_since = next_seq_ - 1;
  return "{\"error_code\":" + std::to_string(code::kOk) +
         ",\"last_seq\":" + std::to_string(next_seq_ - 1) + ",\"havemore\":" + (more ? "1" : "0") +
         ",\"next_since\":" + std::to_string(next_since) + ",\"entries\":[" + entries + "]}";
}

void RequestLog::Clear() {
  base::thread::MutexLock lock(&mutex_);
  records_.clear();
  bytes_ = 0;
}

uint64_t RequestLog::last_seq() const {
  base::thread::MutexLock lock(&mutex_);
  return next_seq_ - 1;
}

size_t RequestLog::size() const {
  base::thread::MutexLock lock(&mutex_);
  return records_.size();
}

size_t RequestLog::bytes() const {
  base::thread::MutexLock lock(&mutex_);
  return bytes_;
}

void KeptRequests::Keep(uint64_t seq, const HttpRequest& request) {
  // Counted before anything is copied, so that a large upload is never held twice.
  size_t cost = RequestCost(request);
  if (cost > caps_.request_bytes) return;
  Kept kept{request, cost};
  base::thread::MutexLock lock(&mutex_);
  bytes_ += cost;
  requests_.emplace(seq, std::move(kept));
  while (requests_.size() > caps_.entries || bytes_ > caps_.total_bytes) {
    bytes_ -= requests_.begin()->second.bytes;
    requests_.erase(requests_.begin());
  }
}

std::optional<HttpRequest> KeptRequests::Find(uint64_t seq) const {
  base::thread::MutexLock lock(&mutex_);
  auto found = requests_.find(seq);
  if (found == requests_.end()) return std::nullopt;
  return found->second.request;
}

void KeptRequests::Clear() {
  base::thread::MutexLock lock(&mutex_);
  requests_.clear();
  bytes_ = 0;
}

size_t KeptRequests::size() const {
  base::thread::MutexLock lock(&mutex_);
  return requests_.size();
}

size_t KeptRequests::bytes() const {
  base::thread::MutexLock lock(&mutex_);
  return bytes_;
}

}  // namespace lumo::sandbox
