// The viewer's side of the sandbox: tokens hidden from everything it shows, its page, the
// state it reads from the store, the event stream of the log (framing, resuming, the cap on
// clients, queues that overflow), and the replay of an exchange.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "event_feed.h"
#include "protocol.h"
#include "raw_connection.h"
#include "refusal.h"
#include "sandbox/server.h"
#include "sandbox_fixture.h"
#include "viewer.h"

namespace lumo::sandbox::testing {
namespace {

using web::json::value;

constexpr const char* kSecret = "sbx-secret-5d1e";

// `text` with every byte outside the unreserved set, or with `every_byte` every byte, as %XX in
// the given hex digits.
std::string Escaped(const std::string& text, const char* hex, bool every_byte) {
  std::string escaped;
  for (unsigned char c : text) {
    if (!every_byte && (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~')) {
      escaped += static_cast<char>(c);
      continue;
    }
    escaped += '%';
    escaped += hex[c >> 4];
    escaped += hex[c & 15];
  }
  return escaped;
}

TEST(ViewerEntryTest, NoTokenSurvivesAnywhere) {
  LogRecord record;
  record.seq = 7;
  record.target = std::string("/v1/restserver/lumo?method=m&kwtok=") + kSecret;
  record.params = {{"KwTok", kSecret}, {"title", "华语 & more"}};
  record.inner_text = std::string("format=json&kwtok=") + kSecret;
  record.headers = {{"cookie", std::string("KWTOK=") + kSecret + "; lang=zh"},
                    {"x-quoted", std::string("KWTOK=\"") + kSecret + "\""}};
  // The answer names the token without "kwtok=": the value found elsewhere is hidden here too.
  record.answer = std::string("{\"error_msg\":\"unknown token ") + kSecret + "\"}";
  record.answer_size = record.answer.size() + 100;  // the log kept less than was sent

  const std::string text = Serialized(ViewerEntry(record, true));
  EXPECT_EQ(text.find(kSecret), std::string::npos) << text;
  const value entry = value::parse(text);
  EXPECT_EQ(Text(entry.at(U("params")).at(0).at(1)), "***");
  EXPECT_EQ(Text(entry.at(U("params")).at(1).at(1)), "华语 & more");
  EXPECT_EQ(Text(entry.at(U("headers")).at(0).at(1)), "KWTOK=***; lang=zh");
  EXPECT_TRUE(entry.at(U("answer_cut")).as_bool());
  EXPECT_FALSE(ViewerEntry(record, false).has_field(U("answer")));
}

TEST(EventFeedTest, QueuesWithinItsCapAndSaysWhenItLostEvents) {
  EventHub hub(/*max_clients=*/2, /*max_queued_bytes=*/100);
  std::shared_ptr<EventFeed> feed = hub.Subscribe();
  ASSERT_TRUE(feed);
  int wakes = 0;
  feed->SetWake([&wakes] { ++wakes; });
  feed->SetFloor(3);
  hub.Publish(3, "old\n");  // sent already with the stream's start
  hub.Publish(4, "a\n");
  hub.Publish(5, "b\n");
  hub.Publish(0, "reset\n");
  EXPECT_EQ(wakes, 1);  // woken once: the queue was empty only before the first
  EventFeed::Batch batch = feed->Take();
  EXPECT_EQ(batch.text, "a\nb\nreset\n");
  EXPECT_FALSE(batch.overflowed);

  hub.Publish(6, std::string(101, 'x'));
  batch = feed->Take();
  EXPECT_TRUE(batch.overflowed);
  EXPECT_EQ(batch.text, "");

  // The cap counts live feeds: one that goes makes room.
  std::shared_ptr<EventFeed> second = hub.Subscribe();
  EXPECT_TRUE(second);
  EXPECT_FALSE(hub.Subscribe());
  second.reset();
  EXPECT_TRUE(hub.Subscribe());
}

// However many followers come, each entry's frame is built once while the backlog keeps it, and
// the backlog holds no more than its caps.
TEST(EventBacklogTest, BuildsEachFrameOnceWithinItsCaps) {
  uint64_t logged = 0;  // the log's newest entry; every frame is 11 bytes
  size_t built = 0;
  EventBacklog backlog(
      [&](uint64_t after, size_t max) {
        std::vector<EventBacklog::Entry> entries;
        for (uint64_t seq = std::max(after, logged > max ? logged - max : 0) + 1; seq <= logged;
             ++seq) {
          entries.push_back({seq, "frame " + std::to_string(1000 + seq) + "\n"});
        }
        built += entries.size();
        return entries;
      },
      /*max_entries=*/5, /*max_bytes=*/33);
  uint64_t newest = 0;
  logged = 8;
  EXPECT_EQ(backlog.Since(0, &newest), "frame 1006\nframe 1007\nframe 1008\n");  // 33 bytes
  EXPECT_EQ(newest, 8u);
  for (int follower = 0; follower < 10; ++follower) backlog.Since(0, &newest);
  EXPECT_EQ(built, 5u);  // the newest five, built once; the bytes cap kept three

  backlog.Offer(9, "frame 1009\n");  // built as it was logged
  logged = 10;                       // logged while nobody followed
  EXPECT_EQ(backlog.Since(8, &newest), "frame 1009\nframe 1010\n");
  EXPECT_EQ(newest, 10u);
  EXPECT_EQ(built, 6u);
  backlog.Clear();
  EXPECT_EQ(backlog.Since(0, &newest), "");
}

class ViewerTest : public SandboxTest {
 protected:
  value Json(const std::string& target) {
    Response response = client().Get(target);
    EXPECT_EQ(response.status, 200) << target;
    return response.json;
  }

  // Opens the event stream and reads its header and first line, or nullptr when the server
  // turns the client away; with `wait`, tries again (boundedly, longer than the server takes to
  // drop a follower that does not read) for earlier followers to be noticed gone.
  static std::unique_ptr<RawConnection> Follow(const std::string& extra_header = "",
                                               bool wait = true) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      auto connection = std::make_unique<RawConnection>(SandboxEnvironment::port());
      EXPECT_TRUE(connection->Send(RequestText("GET", "/_sandbox/events", extra_header, "",
                                               LoopbackHost(SandboxEnvironment::port()))));
      std::string head, retry;
      EXPECT_TRUE(connection->ReadThrough("\r\n\r\n", &head));
      if (head.find(" 503 ") == std::string::npos) {
        EXPECT_NE(head.find("200 OK"), std::string::npos) << head;
        EXPECT_NE(head.find("Content-Type: text/event-stream"), std::string::npos) << head;
        EXPECT_TRUE(connection->ReadThrough("\n\n", &retry));
        EXPECT_EQ(retry, "retry: 1000\n\n");
        return connection;
      }
      if (!wait) return nullptr;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ADD_FAILURE() << "no room for another follower";
    return std::make_unique<RawConnection>(SandboxEnvironment::port());
  }

  // The next event frame, split into its fields.
  struct Frame {
    std::string id, event;
    value data;
  };
  static Frame NextFrame(RawConnection& connection) {
    std::string text;
    for (int i = 0; i < 10 && (i == 0 || text.rfind(':', 0) == 0); ++i) {
      EXPECT_TRUE(connection.ReadThrough("\n\n", &text));  // heartbeats come as ":" comments
    }
    Frame frame;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("id: ", 0) == 0) frame.id = line.substr(4);
      if (line.rfind("event: ", 0) == 0) frame.event = line.substr(7);
      if (line.rfind("data: ", 0) == 0) frame.data = value::parse(line.substr(6));
    }
    return frame;
  }

  // The replay of exchange `seq`, as a tool asks for it.
  Response Replay(uint64_t seq) {
    return client().Send("POST", "/_sandbox/replay", {}, R"({"seq":)" + std::to_string(seq) + "}");
  }

  // The log's newest entry, as the log shows it to tests (nothing masked).
  value NewestEntry() {
    const value entries = Json("/_sandbox/log").at(U("entries"));
    EXPECT_GT(entries.size(), 0u);
    return entries.size() > 0 ? entries.at(entries.size() - 1) : value();
  }
  uint64_t NewestSeq() { return NewestEntry().at(U("seq")).as_number().to_uint64(); }

  Response SplashWithToken(const std::string& token) {
    return client().Get(PlainTarget("norda.lumo.radio.getChannelSong",
                                    {{"kwtok", token}, {"channelname", "Classical"}, {"rn", "3"}},
                                    "2.2.0"));
  }
};

// The page runs under a policy that forbids inline script and style.
TEST_F(ViewerTest, ServesItsFilesWithTheirTypesAndNoCaching) {
  const char* const cases[][3] = {
      {"/_sandbox/", "text/html", "<meta charset=\"utf-8\">"},
      {"/_sandbox/viewer.js", "text/javascript", "EventSource"},
      {"/_sandbox/viewer.css", "text/css", ".code.ok"},
  };
  for (const auto& [path, type, contains] : cases) {
    RawConnection connection(SandboxEnvironment::port());
    ASSERT_TRUE(connection.Send(
        RequestText("GET", path, "", "", LoopbackHost(SandboxEnvironment::port()))));
    RawAnswer answer = connection.ReadAnswer();
    EXPECT_EQ(answer.status, 200) << path;
    for (const char* header :
         {"Content-Security-Policy: default-src 'self'; script-src 'self'; style-src 'self'",
          "frame-ancestors 'none'", "X-Content-Type-Options: nosniff"}) {
      EXPECT_NE(answer.head.find(header), std::string::npos) << path << answer.head;
    }
    EXPECT_NE(answer.head.find(std::string("Content-Type: ") + type + "; charset=utf-8"),
              std::string::npos)
        << answer.head;
    EXPECT_NE(answer.head.find("Cache-Control: no-store"), std::string::npos) << answer.head;
    EXPECT_NE(answer.body.find(contains), std::string::npos) << path;
  }
  EXPECT_EQ(client().Get("/_sandbox/nothing.js").status, 404);
  // Pages are not part of the log.
  EXPECT_EQ(Json("/_sandbox/log").at(U("entries")).size(), 0u);
}

// The viewer holds no list of its own: the methods and the codes' meanings come from the tables
// the sandbox itself works with.
TEST_F(ViewerTest, ProtocolServesTheMethodAndCodeTables) {
  const value answer = Json("/_sandbox/protocol");
  ASSERT_EQ(answer.at(U("methods")).size(), AllMethods().size());
  EXPECT_EQ(Text(answer.at(U("methods")).at(0)), AllMethods()[0].name);
  ASSERT_EQ(answer.at(U("codes")).size(), std::size(kServiceCodes));
  for (const value& row : answer.at(U("codes")).as_array()) {
    const ServiceCode* code = FindServiceCode(row.at(U("code")).as_integer());
    ASSERT_NE(code, nullptr) << Serialized(row);
    EXPECT_EQ(Text(row.at(U("meaning"))), code->meaning);
    EXPECT_EQ(row.at(U("http_status")).as_integer(), RefusalStatus(code->number));
  }
}

TEST_F(ViewerTest, StateCountsFollowTheStore) {
  auto ordinary = [this] { return Json("/_sandbox/state").at(U("users")).at(0); };
  value user = ordinary();
  EXPECT_EQ(Text(user.at(U("id"))), kOrdinaryUserId);
  EXPECT_EQ(Text(user.at(U("token"))), kOrdinaryUserToken);
  const std::pair<const char*, int> kinds[] = {
      {"lists", 5}, {"favorite_lists", 3}, {"favorites", 30}, {"collected", 20}, {"cloud", 0}};
  for (const auto& [kind, count] : kinds) {
    EXPECT_EQ(user.at(JsonString(kind)).at(U("count")).as_integer(), count) << kind;
    EXPECT_EQ(user.at(JsonString(kind)).at(U("first")).size(),
              static_cast<size_t>(std::min(count, 5)))
        << kind;
  }
  EXPECT_EQ(Text(user.at(U("lists")).at(U("first")).at(0).at(U("id"))), "300155");  // newest first
  EXPECT_EQ(user.at(U("lists")).at(U("first")).at(4).at(U("songs")).as_integer(), 24);

  const std::string newest = Text(user.at(U("favorites")).at(U("first")).at(0).at(U("id")));
  ASSERT_EQ(client()
                .Get(PlainTarget("norda.lumo.favorite.delSongFavorites",
                                 {{"kwtok", kOrdinaryUserToken}, {"songId", newest}}))
                .error_code(),
            22000);
  user = ordinary();
  EXPECT_EQ(user.at(U("favorites")).at(U("count")).as_integer(), 29);
  EXPECT_NE(Text(user.at(U("favorites")).at(U("first")).at(0).at(U("id"))), newest);
}

TEST_F(ViewerTest, EventStreamSendsTheBacklogThenNewExchangesWithoutTokens) {
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  auto stream = Follow();
  Frame backlog = NextFrame(*stream);
  EXPECT_EQ(backlog.event, "exchange");
  EXPECT_EQ(Text(backlog.data.at(U("method"))), "norda.lumo.radio.getChannelSong");
  EXPECT_EQ(Text(backlog.data.at(U("user_id"))), kOrdinaryUserId);
  EXPECT_EQ(backlog.id, std::to_string(backlog.data.at(U("seq")).as_integer()));

  EXPECT_EQ(SplashWithToken(kSecret).error_code(), 40011);
  Frame live = NextFrame(*stream);
  EXPECT_EQ(live.event, "exchange");
  EXPECT_EQ(std::stoull(live.id), std::stoull(backlog.id) + 1);
  EXPECT_EQ(live.data.at(U("error_code")).as_integer(), 40011);
  EXPECT_EQ(Serialized(live.data).find(kSecret), std::string::npos);
  EXPECT_FALSE(live.data.has_field(U("answer")));

  // The whole exchange, answer included, on demand.
  value exchange = Json("/_sandbox/exchange?seq=" + live.id).at(U("entry"));
  EXPECT_NE(Text(exchange.at(U("answer"))).find("40011"), std::string::npos);
  EXPECT_EQ(Serialized(exchange).find(kSecret), std::string::npos);

  ASSERT_EQ(client().Send("POST", "/_sandbox/reset", {}).error_code(), 22000);
  EXPECT_EQ(NextFrame(*stream).event, "reset");

  // A reconnecting client names the last event it saw and gets only what came after.
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  ASSERT_EQ(SplashWithToken(kBigUserToken).error_code(), 22000);
  uint64_t first =
      Json("/_sandbox/log").at(U("entries")).at(0).at(U("seq")).as_number().to_uint64();
  auto resumed = Follow("Last-Event-ID: " + std::to_string(first));
  Frame next = NextFrame(*resumed);
  EXPECT_EQ(next.id, std::to_string(first + 1));
  EXPECT_EQ(Text(next.data.at(U("user_id"))), kBigUserId);
}

// Requests any other page (or a page whose host name was rebound to 127.0.0.1) could send are
// refused at every inspection endpoint; the viewer's own page and tools without a browser go on.
TEST_F(ViewerTest, RequestsFromOtherPagesAndHostsAreRefused) {
  const uint16_t port = SandboxEnvironment::port();
  const std::string own = LoopbackHost(port);
  const std::string json = "Content-Type: application/json";
  enum Kind { kPage, kRead, kPost };
  struct Endpoint {
    Kind kind;
    const char* verb;
    const char* target;
    int status;  // when it passes
    const char* body = "";
  };
  const Endpoint endpoints[] = {
      {kPage, "GET", "/_sandbox/", 200},
      {kRead, "GET", "/_sandbox/viewer.js", 200},
      {kRead, "GET", "/_sandbox/log", 200},
      {kRead, "GET", "/_sandbox/state", 200},
      {kRead, "GET", "/_sandbox/protocol", 200},
      {kRead, "GET", "/_sandbox/exchange?seq=99999999", 404},
      {kRead, "GET", "/_sandbox/rules", 200},
      {kRead, "GET", "/_sandbox/events", 200},
      {kPost, "POST", "/_sandbox/rules", 200, R"({"method":"*","action":"delay","delay_ms":1})"},
      {kRead, "DELETE", "/_sandbox/rules/99999999", 404},
      {kRead, "DELETE", "/_sandbox/rules", 200},
      {kRead, "DELETE", "/_sandbox/log", 200},
      {kPost, "POST", "/_sandbox/reset", 200},
      {kPost, "POST", "/_sandbox/replay", 404, R"({"seq":99999999})"},
  };
  constexpr int kPass = 0;
  struct Sender {
    const char* name;
    std::string host;  // empty: no Host field
    std::string headers;
    int page, read, post;  // the code each kind of endpoint answers with 403, or kPass
  };
  const Sender senders[] = {
      {"another origin", own, "Origin: http://127.0.0.1:1\r\n" + json, code::kForeignPage,
       code::kForeignPage, code::kForeignPage},
      {"an opaque origin", own, "Origin: null\r\n" + json, code::kForeignPage, code::kForeignPage,
       code::kForeignPage},
      {"cross-site fetch", own, "Sec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: cors\r\n" + json,
       code::kForeignPage, code::kForeignPage, code::kForeignPage},
      {"no-cors fetch from another port", own,
       "Origin: http://127.0.0.1:8000\r\nSec-Fetch-Site: same-site\r\nSec-Fetch-Mode: no-cors\r\n"
       "Content-Type: text/plain;charset=UTF-8",
       code::kForeignPage, code::kForeignPage, code::kForeignPage},
      {"form posting text/plain", own,
       "Origin: http://localhost:8000\r\nSec-Fetch-Site: same-site\r\nSec-Fetch-Mode: "
       "navigate\r\nContent-Type: text/plain",
       code::kForeignPage, code::kForeignPage, code::kForeignPage},
      {"form of a browser that names no origin", own, "Content-Type: text/plain", kPass, kPass,
       code::kUnmarkedPost},
      {"urlencoded form without origin", own, "Content-Type: application/x-www-form-urlencoded",
       kPass, kPass, code::kUnmarkedPost},
      {"foreign Host", "api.lumo.example", json, code::kForeignHost, code::kForeignHost,
       code::kForeignHost},
      {"no Host", "", json, code::kForeignHost, code::kForeignHost, code::kForeignHost},
      {"rebound name", "rebind.example:" + std::to_string(port),
       "Origin: http://rebind.example:" + std::to_string(port) + "\r\n" + json, code::kForeignHost,
       code::kForeignHost, code::kForeignHost},
      {"loopback IP, other port", "127.0.0.1:" + std::to_string(port + 1), json, code::kForeignHost,
       code::kForeignHost, code::kForeignHost},
      {"loopback IP, no port", "127.0.0.1", json, code::kForeignHost, code::kForeignHost,
       code::kForeignHost},
      {"two Host fields", own, "Host: api.lumo.example\r\n" + json, code::kForeignHost,
       code::kForeignHost, code::kForeignHost},
      // What still passes.
      {"a tool without a browser", own, json, kPass, kPass, kPass},
      {"the viewer's page", "localhost:" + std::to_string(port),
       "Origin: http://localhost:" + std::to_string(port) +
           "\r\nSec-Fetch-Site: same-origin\r\nX-Sandbox-Viewer: 1\r\n" + json,
       kPass, kPass, kPass},
      {"the page's own header, no type", "[::1]:" + std::to_string(port), "X-Sandbox-Viewer: 1",
       kPass, kPass, kPass},
      {"a link followed from another site", own,
       "Sec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: navigate\r\nSec-Fetch-Dest: document", kPass,
       code::kForeignPage, code::kForeignPage},
  };
  for (const Sender& sender : senders) {
    for (const Endpoint& endpoint : endpoints) {
      SCOPED_TRACE(std::string(sender.name) + ": " + endpoint.verb + " " + endpoint.target);
      const int expected = endpoint.kind == kPage   ? sender.page
                           : endpoint.kind == kRead ? sender.read
                                                    : sender.post;
      RawConnection connection(port);
      ASSERT_TRUE(connection.Send(
          RequestText(endpoint.verb, endpoint.target, sender.headers, endpoint.body, sender.host)));
      const RawAnswer answer = connection.ReadAnswer();
      if (expected == kPass) {
        EXPECT_EQ(answer.status, endpoint.status) << answer.head << answer.body;
        continue;
      }
      EXPECT_EQ(answer.status, 403) << answer.head;
      EXPECT_EQ(value::parse(answer.body).at(U("error_code")).as_integer(), expected)
          << answer.body;
    }
  }
}

// No inspection answer holds a token other than a seed user's, however the client wrote it and
// wherever it put it: not the log, one exchange, the event stream (the viewer's exports read the
// exchange), a replay's answer or the log's record of the replay, which sends the token itself.
TEST_F(ViewerTest, NoInspectionAnswerShowsAToken) {
  const std::string token = "real/user+tok=XYZ-2f9d";
  const std::string escaped = Escaped(token, "0123456789ABCDEF", false);
  const std::string every_byte_escaped = Escaped(token, "0123456789ABCDEF", true);
  // The forms the token could be shown in; its tail catches a value hidden only up to a '/',
  // '+' or '='.
  const std::string shown_forms[] = {token, escaped, Escaped(token, "0123456789abcdef", false),
                                     every_byte_escaped, "XYZ-2f9d"};
  auto expect_hidden = [&](const std::string& where, const std::string& text) {
    for (const std::string& form : shown_forms) {
      EXPECT_EQ(text.find(form), std::string::npos) << where << " shows " << form << ": " << text;
    }
  };

  const std::string splash = PlainTarget("norda.lumo.radio.getChannelSong",
                                         {{"channelname", "Classical"}, {"rn", "3"}}, "2.2.0");
  const std::string lists = EncryptedTarget("norda.lumo.ugcdiy.userList",
                                            {{"offset", "0"}, {"source", "0"}, {"type", "10"}});
  const std::string list_once =
      EncryptedTarget("norda.lumo.ugcdiy.addSongListOnce",
                      {{"kwtok", token}, {"title", "x"}, {"process", "1"}, {"song_ids", ""}});
  struct Sent {
    const char* name;
    const char* verb;
    std::string target;
    std::string header;
    std::string body = "";
  };
  const Sent sent[] = {
      {"cookie", "GET", lists, "Cookie: KWTOK=" + token},
      {"cookie among others", "GET", lists, "Cookie: lang=zh; KWTOK=" + token + "; theme=dark"},
      {"cookie name in lower case", "GET", lists, "Cookie: kwtok=" + token},
      {"escaped letter in the cookie name", "GET", lists, "Cookie: kw%74ok=" + token},
      {"quoted cookie value", "GET", lists, "Cookie: KWTOK=\"" + token + "\""},
      {"blank before '='", "GET", lists, "Cookie: KWTOK =" + token},
      {"blanks around '='", "GET", lists, "Cookie: KWTOK = " + token},
      {"parameter", "GET", splash + "&kwtok=" + escaped, ""},
      {"escaped letter in the parameter's name", "GET", splash + "&kw%74ok=" + escaped, ""},
      {"blank in the parameter's name", "GET", splash + "&KWTOK%20=" + escaped, ""},
      {"parameter written unescaped", "GET", splash + "&kwtok=" + token, ""},
      {"parameter escaped byte by byte", "GET", splash + "&kwtok=" + every_byte_escaped, ""},
      {"inside the encrypted text", "GET", list_once, "Cookie: KWTOK=" + token},
      {"in a body the endpoint refuses", "POST", splash, "Content-Type: text/plain",
       "kwtok=" + token},
      {"cookie of an upload", "PUT", "/cloud/x.mp3", "Cookie: KWTOK=" + token},
  };
  for (const Sent& one : sent) {
    const Response response = std::string(one.verb) == "GET"
                                  ? client().Get(one.target, "", {one.header})
                                  : client().Send(one.verb, one.target, {one.header}, one.body);
    EXPECT_NE(response.status, 0) << one.name;
  }

  const Response log = client().Get("/_sandbox/log");
  expect_hidden("the log", log.body);
  const value entries = log.json.at(U("entries"));
  ASSERT_EQ(entries.size(), std::size(sent));
  auto stream = Follow();
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(sent[i].name);
    const std::string seq = std::to_string(entries.at(i).at(U("seq")).as_integer());
    const Response exchange = client().Get("/_sandbox/exchange?seq=" + seq);
    EXPECT_EQ(exchange.status, 200);
    expect_hidden("the exchange", exchange.body);
    const Frame frame = NextFrame(*stream);
    EXPECT_EQ(frame.id, seq);
    expect_hidden("the event stream", Serialized(frame.data));
    expect_hidden("the replay", Replay(std::stoull(seq)).body);
  }
  expect_hidden("the log after the replays", client().Get("/_sandbox/log").body);
  expect_hidden("the state", client().Get("/_sandbox/state").body);
}

// Tests read the log for the token a client sent; the seed users' tokens are published, so the
// log shows them, while the viewer hides every token.
TEST_F(ViewerTest, OnlyTheLogShowsTheSeedUsersTokens) {
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  const value entry = NewestEntry();
  EXPECT_EQ(Text(entry.at(U("params")).at(U("kwtok"))), kOrdinaryUserToken);
  EXPECT_NE(Text(entry.at(U("target"))).find(kOrdinaryUserToken), std::string::npos);
  const std::string seq = std::to_string(NewestSeq());
  EXPECT_EQ(client().Get("/_sandbox/exchange?seq=" + seq).body.find(kOrdinaryUserToken),
            std::string::npos);
}

// A number the API is given is decimal digits and nothing else, within 64 bits; anything else is
// refused with a text that names the field, never read as the number it starts with.
TEST_F(ViewerTest, NumbersAreReadStrictly) {
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  struct Case {
    std::string target;
    std::vector<std::string> headers;
    const char* field;  // named in the refusal; nullptr: accepted
  };
  const Case cases[] = {
      {"/_sandbox/log?since=12abc", {}, "since"},
      {"/_sandbox/log?since=-1", {}, "since"},
      {"/_sandbox/log?since=+1", {}, "since"},
      {"/_sandbox/log?since=%201", {}, "since"},
      {"/_sandbox/log?since=18446744073709551616", {}, "since"},
      {"/_sandbox/log?since=", {}, "since"},
      {"/_sandbox/log?since=18446744073709551615", {}, nullptr},
      {"/_sandbox/log?since=00", {}, nullptr},
      {"/_sandbox/exchange?seq=1abc", {}, "seq"},
      {"/_sandbox/exchange?seq=-1", {}, "seq"},
      {"/_sandbox/exchange?seq=99999999999999999999", {}, "seq"},
      {"/_sandbox/exchange?seq=", {}, "seq"},
      {"/_sandbox/exchange?seq=" + std::to_string(NewestSeq()), {}, nullptr},
      {"/_sandbox/events?since=1x", {}, "since"},
      {"/_sandbox/events", {"Last-Event-ID: -1"}, "Last-Event-ID"},
      {"/_sandbox/events?since=1", {"Last-Event-ID: 1.5"}, "Last-Event-ID"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const Response answer = client().Get(c.target, "", c.headers);
    if (!c.field) {
      EXPECT_EQ(answer.status, 200) << answer.body;
      continue;
    }
    EXPECT_EQ(answer.status, 400) << answer.body;
    EXPECT_EQ(answer.error_code(), code::kInvalidValue);
    EXPECT_EQ(Text(answer.json.at(U("error_msg"))).rfind(std::string(c.field) + ": ", 0), 0u)
        << answer.body;
  }

  // A rule's path names it by its number alone.
  const Response added = client().Send("POST", "/_sandbox/rules", {},
                                       R"({"method":"*","action":"delay","delay_ms":1})");
  ASSERT_EQ(added.error_code(), 22000) << added.body;
  const std::string id = std::to_string(added.json.at(U("rule")).at(U("id")).as_integer());
  for (const std::string& path : {id + "abc", "+" + id, "0" + id + "x", std::string("")}) {
    const Response refused = client().Send("DELETE", "/_sandbox/rules/" + path, {});
    EXPECT_EQ(refused.status, 404) << path;
    EXPECT_EQ(refused.error_code(), code::kNoSuchRule) << path;
  }
  EXPECT_EQ(Json("/_sandbox/rules").at(U("rules")).size(), 1u);
  EXPECT_EQ(client().Send("DELETE", "/_sandbox/rules/" + id, {}).error_code(), 22000);
  EXPECT_EQ(Json("/_sandbox/rules").at(U("rules")).size(), 0u);
}

// Followers that take nothing of what they are sent lose their place, so that the viewer finds
// room again once they stall; those that read keep theirs.
TEST_F(ViewerTest, FollowersThatDoNotReadAreDropped) {
  // Entries of some 50 KB each (the log keeps 4 KiB of a header), so that a backlog fills what
  // the kernel buffers for a client that does not read.
  std::vector<std::string> padding;
  padding.reserve(12);
  for (int i = 0; i < 12; ++i)
    padding.push_back("X-Padding-" + std::to_string(i) + ": " + std::string(4000, 'p'));
  for (int i = 0; i < 60; ++i) {
    ASSERT_EQ(client().Get(PlainTarget("norda.lumo.active.startPC", {}), "", padding).status, 200);
  }
  // Each reads the stream's first line and nothing more.
  std::vector<std::unique_ptr<RawConnection>> silent;
  silent.reserve(8);
  for (int i = 0; i < 8; ++i) silent.push_back(Follow());
  // Bounded by Follow's retries: once the silent ones are dropped, reading followers take every
  // place again.
  std::vector<std::unique_ptr<RawConnection>> readers;
  readers.reserve(8);
  for (int i = 0; i < 8; ++i) {
    readers.push_back(Follow());
    EXPECT_EQ(NextFrame(*readers.back()).event, "exchange");
  }
}

TEST_F(ViewerTest, FollowersAreCappedAndAClosedOneMakesRoom) {
  std::vector<std::unique_ptr<RawConnection>> followers;
  followers.reserve(8);
  for (int i = 0; i < 8; ++i) followers.push_back(Follow());
  EXPECT_FALSE(Follow("", /*wait=*/false));
  // The server notices that a follower went away and lets the next one in.
  followers.pop_back();
  followers.push_back(Follow());
  // The others still get every new exchange; the API goes on meanwhile.
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  for (auto& follower : followers) EXPECT_EQ(NextFrame(*follower).event, "exchange");
}

// The replay sends the request as it was received (the whole header the log cut, the token the
// viewer hides), runs it on the store as it is now, logs it as a new exchange that says what it
// replays, and shows it to the viewer masked like any other.
TEST_F(ViewerTest, ReplaySendsTheRequestAgainAsANewExchange) {
  auto stream = Follow();
  const std::string song = Text(Json("/_sandbox/state")
                                    .at(U("users"))
                                    .at(0)
                                    .at(U("favorites"))
                                    .at(U("first"))
                                    .at(0)
                                    .at(U("id")));
  const Response removed =
      client().Get(PlainTarget("norda.lumo.favorite.delSongFavorites",
                               {{"kwtok", kOrdinaryUserToken}, {"songId", song}}),
                   "", {"X-Long: " + std::string(6000, 'l')});
  ASSERT_EQ(removed.error_code(), 22000);
  ASSERT_NE(removed.body.find("\"deleted\":1"), std::string::npos) << removed.body;
  const uint64_t original = NewestSeq();

  const Response replayed = Replay(original);
  ASSERT_EQ(replayed.status, 200) << replayed.body;
  ASSERT_EQ(replayed.error_code(), 22000) << replayed.body;
  const uint64_t seq = replayed.json.at(U("seq")).as_number().to_uint64();
  EXPECT_EQ(seq, original + 1);
  EXPECT_EQ(replayed.json.at(U("replay_of")).as_integer(), static_cast<int>(original));
  EXPECT_EQ(replayed.json.at(U("http_status")).as_integer(), 200);
  EXPECT_EQ(replayed.json.at(U("entry")).at(U("replay_of")).as_integer(),
            static_cast<int>(original));

  const value logged = NewestEntry();
  EXPECT_EQ(logged.at(U("seq")).as_number().to_uint64(), seq);
  EXPECT_EQ(logged.at(U("replay_of")).as_integer(), static_cast<int>(original));
  EXPECT_EQ(Text(logged.at(U("user_id"))), kOrdinaryUserId);  // the token itself was sent
  EXPECT_EQ(logged.at(U("error_code")).as_integer(), 22000);
  EXPECT_NE(Text(logged.at(U("answer"))).find("\"deleted\":0"), std::string::npos)
      << Text(logged.at(U("answer")));
  EXPECT_NE(Text(logged.at(U("headers")).at(U("x-long"))).find("[cut from 6000 bytes]"),
            std::string::npos);
  EXPECT_EQ(
      Json("/_sandbox/state").at(U("users")).at(0).at(U("favorites")).at(U("count")).as_integer(),
      29);

  // What the viewer is shown of it.
  EXPECT_EQ(NextFrame(*stream).id, std::to_string(original));
  const Frame frame = NextFrame(*stream);
  EXPECT_EQ(frame.id, std::to_string(seq));
  EXPECT_EQ(frame.data.at(U("replay_of")).as_integer(), static_cast<int>(original));
  for (const std::string& shown :
       {replayed.body, Serialized(frame.data),
        client().Get("/_sandbox/exchange?seq=" + std::to_string(seq)).body}) {
    EXPECT_NE(shown.find("kwtok"), std::string::npos) << shown;
    EXPECT_EQ(shown.find(kOrdinaryUserToken), std::string::npos) << shown;
  }
}

// No other page can make the sandbox send a request again.
TEST_F(ViewerTest, ReplayIsRefusedToOtherPagesAndHosts) {
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  const std::string body = R"({"seq":)" + std::to_string(NewestSeq()) + "}";
  const std::string own = LoopbackHost(SandboxEnvironment::port());
  const std::string json = "Content-Type: application/json";
  struct Sender {
    const char* name;
    std::string host;
    std::string headers;
    int error_code;
  };
  const Sender senders[] = {
      {"another origin", own, "Origin: http://127.0.0.1:1\r\n" + json, code::kForeignPage},
      {"a form posting text/plain", own, "Content-Type: text/plain", code::kUnmarkedPost},
      {"a foreign Host", "rebind.example:" + std::to_string(SandboxEnvironment::port()), json,
       code::kForeignHost},
  };
  for (const Sender& sender : senders) {
    SCOPED_TRACE(sender.name);
    RawConnection connection(SandboxEnvironment::port());
    ASSERT_TRUE(connection.Send(
        RequestText("POST", "/_sandbox/replay", sender.headers, body, sender.host)));
    const RawAnswer answer = connection.ReadAnswer();
    EXPECT_EQ(answer.status, 403) << answer.head;
    EXPECT_EQ(value::parse(answer.body).at(U("error_code")).as_integer(), sender.error_code);
  }
  EXPECT_EQ(Json("/_sandbox/log").at(U("entries")).size(), 1u);
}

// A replay names an exchange whose request is still kept; otherwise it says why not.
TEST_F(ViewerTest, ReplayOfARequestNoLongerKeptSaysSo) {
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  const uint64_t dropped = NewestSeq();
  // The sandbox keeps the requests of the newest 200 exchanges.
  for (int i = 0; i < 200; ++i) ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).status, 200);
  const Response gone = Replay(dropped);
  EXPECT_EQ(gone.status, 410);
  EXPECT_EQ(gone.error_code(), code::kRequestNotKept);
  EXPECT_NE(Text(gone.json.at(U("error_msg"))).find("newest 200 exchanges"), std::string::npos)
      << gone.body;
  EXPECT_EQ(Replay(dropped + 1).error_code(), 22000);  // the oldest still kept
  const uint64_t newest = NewestSeq();
  ASSERT_EQ(client().Send("DELETE", "/_sandbox/log", {}).error_code(), 22000);

  struct Case {
    const char* name;
    std::string body;
    long status;
    int error_code;
  };
  const Case cases[] = {
      {"after the log was emptied", R"({"seq":)" + std::to_string(newest) + "}", 410,
       code::kRequestNotKept},
      {"never logged", R"({"seq":)" + std::to_string(newest + 1) + "}", 404, code::kNotFound},
      {"zero", R"({"seq":0})", 404, code::kNotFound},
      {"negative", R"({"seq":-1})", 400, code::kInvalidValue},
      {"a fraction", R"({"seq":1.5})", 400, code::kInvalidValue},
      {"a text", R"({"seq":"1"})", 400, code::kInvalidValue},
      {"another field as well", R"({"seq":1,"count":100})", 400, code::kInvalidValue},
      {"a list", R"([1])", 400, code::kInvalidValue},
      {"not JSON", "seq=1", 400, code::kInvalidValue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Response refused = client().Send("POST", "/_sandbox/replay", {}, c.body);
    EXPECT_EQ(refused.status, c.status) << refused.body;
    EXPECT_EQ(refused.error_code(), c.error_code) << refused.body;
  }
  EXPECT_EQ(Json("/_sandbox/log").at(U("entries")).size(), 0u);
}

// A replay is a call like any other: the rules in force meet it, and it uses them up.
TEST_F(ViewerTest, ReplayMeetsTheFaultRules) {
  const std::string splash = "norda.lumo.radio.getChannelSong";
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  const uint64_t original = NewestSeq();
  struct Case {
    const char* action;
    const char* fault;
    int error_code;
    int http_status;
  };
  const Case cases[] = {
      {R"("error_code","error_code":22469)", "error_code", 22469, 200},
      {R"("html502")", "html502", 0, 502},
      {R"("delay","delay_ms":200)", "delay", 22000, 200},
      // The connection the replay was asked on stays; the new entry says what a client got.
      {R"("close")", "close", 0, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    const Response added =
        client().Send("POST", "/_sandbox/rules", {},
                      R"({"method":")" + splash + R"(","count":1,"action":)" + c.action + "}");
    ASSERT_EQ(added.error_code(), 22000) << added.body;
    const Response replayed = Replay(original);
    ASSERT_EQ(replayed.status, 200) << replayed.body;
    EXPECT_EQ(replayed.json.at(U("http_status")).as_integer(), c.http_status);
    const value logged = NewestEntry();
    EXPECT_EQ(logged.at(U("replay_of")).as_integer(), static_cast<int>(original));
    EXPECT_EQ(Text(logged.at(U("fault"))), c.fault);
    EXPECT_EQ(logged.at(U("error_code")).as_integer(), c.error_code);
    EXPECT_EQ(Json("/_sandbox/rules").at(U("rules")).size(), 0u);  // used up
  }
}

// A signed address is checked on the clock of the replay: once its timestamp is more than 300 s
// old, the service refuses it, as it would a client's late retry.
TEST_F(ViewerTest, ReplayOfASignedAddressMeetsTheClock) {
  // Accepted now, three seconds on too old.
  const std::string target =
      EncryptedTarget("norda.lumo.ugcdiy.userList",
                      {{"offset", "0"}, {"source", "0"}, {"type", "10"}}, NowSeconds() - 298);
  ASSERT_EQ(client().Get(target, kOrdinaryUserToken).error_code(), 22000);
  const uint64_t original = NewestSeq();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const Response late = Replay(original);
  ASSERT_EQ(late.error_code(), 22000) << late.body;
  EXPECT_EQ(late.json.at(U("entry")).at(U("error_code")).as_integer(), code::kStaleTimestamp);
  EXPECT_EQ(Text(late.json.at(U("entry")).at(U("form"))), "encrypted");
}

}  // namespace
}  // namespace lumo::sandbox::testing
