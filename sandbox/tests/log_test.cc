// The request log's caps: what one client can make it keep, and how much one answer carries; and
// the caps on the whole requests kept for a replay.
#include <gtest/gtest.h>

#include <cpprest/json.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "handlers.h"
#include "request_log.h"
#include "test_client.h"

namespace lumo::sandbox {
namespace {

using testing::Text;
using web::json::value;

LogRecord Record(const std::string& target) {
  LogRecord record;
  record.verb = "GET";
  record.target = target;
  record.method = "norda.lumo.active.startPC";
  record.headers = {{"user-agent", "qxpc_1.0.0"}};
  return record;
}

value Entries(const RequestLog& log) { return value::parse(log.Page(0, "")).at(U("entries")); }

TEST(RequestLogTest, CutsEveryLongTextAndSaysSo) {
  LogCaps caps;
  caps.text_bytes = 100;
  RequestLog log(caps);
  const std::string kLong(1000, 'x');
  // Two-byte characters: a cut at byte 100 would split the fifty-first.
  std::string accented;
  for (int i = 0; i < 101; ++i) accented += "\xC3\xA9";
  LogRecord record = Record(kLong);
  record.inner_text = accented;
  record.headers.emplace_back(kLong, "name too long");
  record.headers.emplace_back("x-long", kLong);
  record.params = {{"query", kLong}};
  log.Add(record);
  log.Add(Record("/short"));

  const value entries = Entries(log);
  ASSERT_EQ(entries.size(), 2u);
  const value& cut = entries.at(0);
  const std::string cut_long = std::string(100, 'x') + "...[cut from 1000 bytes]";
  EXPECT_EQ(Text(cut.at(U("target"))), cut_long);
  EXPECT_EQ(Text(cut.at(U("headers")).at(U("x-long"))), cut_long);
  EXPECT_EQ(Text(cut.at(U("params")).at(U("query"))), cut_long);
  EXPECT_EQ(Text(cut.at(U("inner_text"))), accented.substr(0, 100) + "...[cut from 202 bytes]");
  EXPECT_TRUE(cut.at(U("headers")).has_field(JsonString(cut_long)));
  EXPECT_TRUE(cut.at(U("cut")).as_bool());
  EXPECT_FALSE(entries.at(1).at(U("cut")).as_bool());
  EXPECT_EQ(Text(entries.at(1).at(U("target"))), "/short");
}

TEST(RequestLogTest, OneEntryKeepsPairsWhileItsBudgetLasts) {
  LogCaps caps;
  caps.text_bytes = 1000;
  caps.entry_bytes = 8000;
  RequestLog log(caps);
  LogRecord record = Record("/v1/restserver/lumo");
  for (int i = 0; i < 50; ++i)
    record.headers.emplace_back("x-" + std::to_string(i), std::string(900, 'h'));
  log.Add(record);
  EXPECT_LE(log.bytes(), caps.entry_bytes);
  const value entry = Entries(log).at(0);
  EXPECT_LT(entry.at(U("headers")).size(), 10u);
  EXPECT_TRUE(entry.at(U("headers")).has_field(U("user-agent")));
  EXPECT_TRUE(entry.at(U("cut")).as_bool());
}

TEST(RequestLogTest, DropsTheOldestBeyondItsCaps) {
  // By count, and by bytes.
  for (const auto& [entries_cap, bytes_cap, target_size] :
       {std::tuple<size_t, size_t, size_t>{5, 1 << 20, 10}, {10000, 20000, 3000}}) {
    SCOPED_TRACE(entries_cap);
    LogCaps caps;
    caps.entries = entries_cap;
    caps.total_bytes = bytes_cap;
    RequestLog log(caps);
    for (int i = 0; i < 40; ++i) log.Add(Record(std::string(target_size, 't')));
    EXPECT_LE(log.size(), entries_cap);
    EXPECT_LE(log.bytes(), bytes_cap);
    const value entries = Entries(log);
    ASSERT_GT(entries.size(), 0u);
    EXPECT_EQ(entries.at(entries.size() - 1).at(U("seq")).as_integer(), 40);
    EXPECT_EQ(entries.at(0).at(U("seq")).as_integer(), 40 - static_cast<int>(entries.size()) + 1);
  }
}

TEST(RequestLogTest, PagesFollowOneAnotherWithinTheAnswerCap) {
  LogCaps caps;
  caps.answer_bytes = 2000;
  RequestLog log(caps);
  for (int i = 0; i < 50; ++i) log.Add(Record(std::string(200, 'p')));
  std::vector<int> seqs;
  for (int pages = 0, more = 1, since = 0; more != 0 && pages < 100; ++pages) {
    const std::string text = log.Page(since, "");
    const value page = value::parse(text);
    EXPECT_LE(text.size(), caps.answer_bytes + 200);  // the entries plus the envelope
    EXPECT_EQ(page.at(U("last_seq")).as_integer(), 50);
    for (const value& entry : page.at(U("entries")).as_array())
      seqs.push_back(entry.at(U("seq")).as_integer());
    since = page.at(U("next_since")).as_integer();
    more = page.at(U("havemore")).as_integer();
  }
  ASSERT_EQ(seqs.size(), 50u);
  for (size_t i = 0; i < seqs.size(); ++i) EXPECT_EQ(seqs[i], static_cast<int>(i) + 1);
}

// What is kept for a replay is the request as received, whole, within caps of its own.
TEST(KeptRequestsTest, KeepsWholeRequestsWithinItsCaps) {
  KeptRequestCaps caps;
  caps.entries = 3;
  caps.total_bytes = 30000;
  caps.request_bytes = 15000;
  KeptRequests kept(caps);
  HttpRequest request;
  request.verb = "GET";
  request.target = std::string(5000, 't');  // longer than the log keeps of a text
  request.headers = {{"cookie", "KWTOK=sbx-secret"}};
  request.body = "body";
  kept.Keep(1, request);
  const std::optional<HttpRequest> found = kept.Find(1);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->target, request.target);
  EXPECT_EQ(found->headers, request.headers);
  EXPECT_EQ(found->body, "body");

  HttpRequest large = request;
  large.body.assign(caps.request_bytes, 'b');
  kept.Keep(2, large);  // over request_bytes: not kept, nothing else dropped for it
  EXPECT_FALSE(kept.Find(2));
  EXPECT_TRUE(kept.Find(1));

  // By count, then by bytes; the oldest go first.
  for (uint64_t seq = 3; seq <= 5; ++seq) kept.Keep(seq, request);
  EXPECT_FALSE(kept.Find(1));
  EXPECT_EQ(kept.size(), 3u);
  HttpRequest heavy = request;
  heavy.body.assign(8000, 'h');
  kept.Keep(6, heavy);
  kept.Keep(7, heavy);
  EXPECT_LE(kept.bytes(), caps.total_bytes);
  EXPECT_TRUE(kept.Find(6) && kept.Find(7));
  EXPECT_FALSE(kept.Find(3));

  kept.Clear();
  EXPECT_FALSE(kept.Find(7));
  EXPECT_EQ(kept.bytes(), 0u);
}

}  // namespace
}  // namespace lumo::sandbox
