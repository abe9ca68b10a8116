// The viewer's side of the sandbox: tokens hidden from everything it shows, its page, the
// state it reads from the store, and the event stream of the log (framing, resuming, the cap on
// clients, queues that overflow).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "event_feed.h"
#include "raw_connection.h"
#include "sandbox/server.h"
#include "sandbox_fixture.h"
#include "viewer.h"

namespace lumo::sandbox::testing {
namespace {

using web::json::value;

constexpr const char* kSecret = "sbx-secret-5d1e";

TEST(MaskTokensTest, HidesEveryTokenValueAndNothingElse) {
  const std::pair<const char*, const char*> cases[] = {
      {"method=x&kwtok=sbx-secret&rn=10", "method=x&kwtok=***&rn=10"},
      {"KWTOK=sbx-secret; other=1", "KWTOK=***; other=1"},
      {"Kwtok=a&KwTok=b", "Kwtok=***&KwTok=***"},
      {"kwtok=", "kwtok="},                            // anonymous: nothing to hide
      {"kwtok=a b\"c", "kwtok=*** b\"c"},              // the value ends at a space
      {"my_kwtok=a&xkwtok=b", "my_kwtok=a&xkwtok=b"},  // other names
      {"kwtok", "kwtok"},
      {"title=%E5%8D%8E kwtok=\xE5\x8D\x8E", "title=%E5%8D%8E kwtok=***"},
  };
  for (const auto& [text, masked] : cases) EXPECT_EQ(MaskTokens(text), masked) << text;
}

TEST(ViewerEntryTest, NoTokenSurvivesAnywhere) {
  LogRecord record;
  record.seq = 7;
  record.target = std::string("/v1/restserver/lumo?method=m&kwtok=") + kSecret;
  record.params = {{"KwTok", kSecret}, {"title", "华语 & more"}};
  record.inner_text = std::string("format=json&kwtok=") + kSecret;
  record.headers = {{"cookie", std::string("KWTOK=") + kSecret + "; lang=zh"}};
  record.answer = std::string("{\"echo\":\"kwtok=") + kSecret + "\"}";
  record.answer_size = record.answer.size() + 100;  // the log kept less than was sent

  const std::string text = ViewerEntry(record, true).serialize();
  EXPECT_EQ(text.find(kSecret), std::string::npos) << text;
  const value entry = value::parse(text);
  EXPECT_EQ(entry.at("params").at(0).at(1).as_string(), "***");
  EXPECT_EQ(entry.at("params").at(1).at(1).as_string(), "华语 & more");
  EXPECT_EQ(entry.at("headers").at(0).at(1).as_string(), "KWTOK=***; lang=zh");
  EXPECT_TRUE(entry.at("answer_cut").as_bool());
  EXPECT_FALSE(ViewerEntry(record, false).has_field("answer"));
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

class ViewerTest : public SandboxTest {
 protected:
  value Json(const std::string& target) {
    Response response = client().Get(target);
    EXPECT_EQ(response.status, 200) << target;
    return response.json;
  }

  // Opens the event stream and reads its header and first line, or nullptr when the server
  // turns the client away; with `wait`, tries again (boundedly) for the followers of earlier
  // tests to be noticed gone.
  static std::unique_ptr<RawConnection> Follow(const std::string& extra_header = "",
                                               bool wait = true) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      auto connection = std::make_unique<RawConnection>(SandboxEnvironment::port());
      EXPECT_TRUE(connection->Send(RequestText("GET", "/_sandbox/events", extra_header)));
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

  Response SplashWithToken(const std::string& token) {
    return client().Get(PlainTarget("norda.lumo.radio.getChannelSong",
                                    {{"kwtok", token}, {"channelname", "Classical"}, {"rn", "3"}},
                                    "2.2.0"));
  }
};

TEST_F(ViewerTest, ServesItsFilesWithTheirTypesAndNoCaching) {
  const char* const cases[][3] = {
      {"/_sandbox/", "text/html", "<meta charset=\"utf-8\">"},
      {"/_sandbox/viewer.js", "text/javascript", "EventSource"},
      {"/_sandbox/viewer.css", "text/css", ".code.ok"},
  };
  for (const auto& [path, type, contains] : cases) {
    RawConnection connection(SandboxEnvironment::port());
    ASSERT_TRUE(connection.Send(RequestText("GET", path)));
    RawAnswer answer = connection.ReadAnswer();
    EXPECT_EQ(answer.status, 200) << path;
    EXPECT_NE(answer.head.find(std::string("Content-Type: ") + type + "; charset=utf-8"),
              std::string::npos)
        << answer.head;
    EXPECT_NE(answer.head.find("Cache-Control: no-store"), std::string::npos) << answer.head;
    EXPECT_NE(answer.body.find(contains), std::string::npos) << path;
  }
  EXPECT_EQ(client().Get("/_sandbox/nothing.js").status, 404);
  // Pages are not part of the log.
  EXPECT_EQ(Json("/_sandbox/log").at("entries").size(), 0u);
}

TEST_F(ViewerTest, StateCountsFollowTheStore) {
  auto ordinary = [this] { return Json("/_sandbox/state").at("users").at(0); };
  value user = ordinary();
  EXPECT_EQ(user.at("id").as_string(), kOrdinaryUserId);
  EXPECT_EQ(user.at("token").as_string(), kOrdinaryUserToken);
  const std::pair<const char*, int> kinds[] = {
      {"lists", 5}, {"favorite_lists", 3}, {"favorites", 30}, {"collected", 20}, {"cloud", 0}};
  for (const auto& [kind, count] : kinds) {
    EXPECT_EQ(user.at(kind).at("count").as_integer(), count) << kind;
    EXPECT_EQ(user.at(kind).at("first").size(), static_cast<size_t>(std::min(count, 5))) << kind;
  }
  EXPECT_EQ(user.at("lists").at("first").at(0).at("id").as_string(), "300155");  // newest first
  EXPECT_EQ(user.at("lists").at("first").at(4).at("songs").as_integer(), 24);

  const std::string newest = user.at("favorites").at("first").at(0).at("id").as_string();
  ASSERT_EQ(client()
                .Get(PlainTarget("norda.lumo.favorite.delSongFavorites",
                                 {{"kwtok", kOrdinaryUserToken}, {"songId", newest}}))
                .error_code(),
            22000);
  user = ordinary();
  EXPECT_EQ(user.at("favorites").at("count").as_integer(), 29);
  EXPECT_NE(user.at("favorites").at("first").at(0).at("id").as_string(), newest);
}

TEST_F(ViewerTest, EventStreamSendsTheBacklogThenNewExchangesWithoutTokens) {
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  auto stream = Follow();
  Frame backlog = NextFrame(*stream);
  EXPECT_EQ(backlog.event, "exchange");
  EXPECT_EQ(backlog.data.at("method").as_string(), "norda.lumo.radio.getChannelSong");
  EXPECT_EQ(backlog.data.at("user_id").as_string(), kOrdinaryUserId);
  EXPECT_EQ(backlog.id, std::to_string(backlog.data.at("seq").as_integer()));

  EXPECT_EQ(SplashWithToken(kSecret).error_code(), 40011);
  Frame live = NextFrame(*stream);
  EXPECT_EQ(live.event, "exchange");
  EXPECT_EQ(std::stoull(live.id), std::stoull(backlog.id) + 1);
  EXPECT_EQ(live.data.at("error_code").as_integer(), 40011);
  EXPECT_EQ(live.data.serialize().find(kSecret), std::string::npos);
  EXPECT_FALSE(live.data.has_field("answer"));

  // The whole exchange, answer included, on demand.
  value exchange = Json("/_sandbox/exchange?seq=" + live.id).at("entry");
  EXPECT_NE(exchange.at("answer").as_string().find("40011"), std::string::npos);
  EXPECT_EQ(exchange.serialize().find(kSecret), std::string::npos);

  ASSERT_EQ(client().Send("POST", "/_sandbox/reset", {}).error_code(), 22000);
  EXPECT_EQ(NextFrame(*stream).event, "reset");

  // A reconnecting client names the last event it saw and gets only what came after.
  ASSERT_EQ(SplashWithToken(kOrdinaryUserToken).error_code(), 22000);
  ASSERT_EQ(SplashWithToken(kBigUserToken).error_code(), 22000);
  uint64_t first = Json("/_sandbox/log").at("entries").at(0).at("seq").as_number().to_uint64();
  auto resumed = Follow("Last-Event-ID: " + std::to_string(first));
  Frame next = NextFrame(*resumed);
  EXPECT_EQ(next.id, std::to_string(first + 1));
  EXPECT_EQ(next.data.at("user_id").as_string(), kBigUserId);
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

}  // namespace
}  // namespace lumo::sandbox::testing
