#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lumoapi/radio/get_private_radio_songs.h"
#include "lumoapi/radio/get_public_radio_songs.h"
#include "lumoapi/radio/get_scene_songs.h"
#include "settings/user_account_settings.h"
#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace {

using lumo::testing::OwnPairs;
using lumo::testing::Pairs;
using lumo::testing::QueryPairs;
using lumo::testing::ValueOf;
using lumoapi::radio::GetPrivateRadioSongs;
using lumoapi::radio::GetPublicRadioSongs;
using lumoapi::radio::GetSceneSongs;
using Ids = std::vector<std::wstring>;

settings::user::UserAccountSettings& Account() {
  return settings::user::UserAccountSettings::Instance();
}

// Restores the signed-in account's token that a test changes.
class RadioSongsTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_token_ = Account()._GetKwtok(); }
  void TearDown() override { Account().SetKwtok(saved_token_); }

  std::wstring saved_token_;
};

// [{key:"1"}, ..., {key:"n"}]
std::string NumberedList(const std::string& key, int n) {
  std::string list = "[";
  for (int i = 1; i <= n; ++i) {
    list += (i > 1 ? "," : "") + ("{\"" + key + "\":\"" + std::to_string(i) + "\"}");
  }
  return list + "]";
}

Ids NumberedIds(int first, int last) {
  Ids ids;
  for (int i = first; i <= last; ++i) ids.push_back(std::to_wstring(i));
  return ids;
}

TEST_F(RadioSongsTest, BuildsMethodVersionAndOwnPairs) {
  struct Case {
    std::function<std::unique_ptr<lumoapi::RequestBase>()> make;
    std::wstring account_token;
    std::string method;
    std::string version;
    Pairs own;
  };
  const Case cases[] = {
      {[] { return std::make_unique<GetPublicRadioSongs>(L"Jazz & \u7235\u58eb"); },
       L"tok1",
       "norda.lumo.radio.getChannelSong",
       "2.2.0",
       {{"channelname", "Jazz & \xe7\x88\xb5\xe5\xa3\xab"}, {"rn", "10"}, {"kwtok", "tok1"}}},
      // An empty account token is still sent.
      {[] { return std::make_unique<GetPublicRadioSongs>(L"pop"); },
       L"",
       "norda.lumo.radio.getChannelSong",
       "2.2.0",
       {{"channelname", "pop"}, {"rn", "10"}, {"kwtok", ""}}},
      // The private radio sends its own token, never the account's.
      {[] { return std::make_unique<GetPrivateRadioSongs>(L"alice", L"secret"); },
       L"other",
       "norda.lumo.radio.serv",
       "1.0.0",
       {{"usrname", "alice"}, {"needdata", "true"}, {"kwtok", "secret"}}},
      {[] { return std::make_unique<GetSceneSongs>(L"42"); },
       L"tok2",
       "norda.lumo.song.getSmartSongList",
       "2.2.0",
       {{"scene_id", "42"}, {"item_id", "0"}, {"page_size", "10"}, {"kwtok", "tok2"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    Account().SetKwtok(c.account_token);
    auto request = c.make();
    const std::wstring url = request->BuildUrl();
    const Pairs all = QueryPairs(url);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front(), Pairs::value_type("method", c.method));
    EXPECT_EQ(ValueOf(all, "version"), c.version);
    EXPECT_EQ(OwnPairs(url), c.own);
  }
}

TEST_F(RadioSongsTest, ReadsTheAccountTokenEachTimeTheAddressIsBuilt) {
  const std::vector<std::function<std::unique_ptr<lumoapi::RequestBase>()>> makers = {
      [] { return std::make_unique<GetPublicRadioSongs>(L"pop"); },
      [] { return std::make_unique<GetSceneSongs>(L"7"); },
  };
  for (const auto& make : makers) {
    Account().SetKwtok(L"before");
    auto request = make();
    EXPECT_EQ(ValueOf(OwnPairs(request->BuildUrl()), "kwtok"), "before");
    Account().SetKwtok(L"after");
    EXPECT_EQ(ValueOf(OwnPairs(request->BuildUrl()), "kwtok"), "after");
  }
}

enum class Kind { kPublic, kPrivate, kScene };

struct Outcome {
  int emissions = 0;
  bool succeeded = false;
  Ids ids;
};

// Runs one request of `kind` `runs` times, each answered with `body`.
Outcome RunRequest(Kind kind, lumo::testing::FakeTransport& transport, const std::string& body,
                   int runs) {
  auto run = [&](auto& request) {
    Outcome outcome;
    for (int i = 0; i < runs; ++i) {
      outcome.emissions += lumo::testing::RunWithAnswer(request, transport, 200, body);
    }
    outcome.succeeded = request.succeeded;
    outcome.ids = request.song_ids;
    return outcome;
  };
  switch (kind) {
    case Kind::kPublic: {
      GetPublicRadioSongs request(L"pop");
      return run(request);
    }
    case Kind::kPrivate: {
      GetPrivateRadioSongs request(L"alice", L"tok");
      return run(request);
    }
    case Kind::kScene: {
      GetSceneSongs request(L"42");
      return run(request);
    }
  }
  return {};
}

TEST_F(RadioSongsTest, ParsesSongIds) {
  struct Case {
    const char* name;
    Kind kind;
    std::string body;
    int runs;
    Ids ids;
  };
  const std::string both_keys = R"([{"songid":"1","song_id":"9"},{"songid":2},{"other":"x"}])";
  const Case cases[] = {
      {"public: no limit", Kind::kPublic,
       R"({"result":{"songlist":)" + NumberedList("songid", 25) + "}}", 1, NumberedIds(1, 25)},
      {"public: reads songid, numbers as text",
       Kind::kPublic,
       R"({"result":{"songlist":)" + both_keys + "}}",
       1,
       {L"1", L"2", L""}},
      {"scene: reads song_id",
       Kind::kScene,
       R"({"result":{"songlist":)" + both_keys + "}}",
       1,
       {L"9", L"", L""}},
      {"public: result not an object",
       Kind::kPublic,
       R"({"result":[{"songlist":)" + NumberedList("songid", 2) + "}]}",
       1,
       {}},
      {"scene: songlist not an array",
       Kind::kScene,
       R"({"result":{"songlist":{"song_id":"1"}}})",
       1,
       {}},
      {"public: a second run appends",
       Kind::kPublic,
       R"({"result":{"songlist":)" + NumberedList("songid", 3) + "}}",
       2,
       {L"1", L"2", L"3", L"1", L"2", L"3"}},
      {"private: at most 10", Kind::kPrivate, R"({"songinfo":)" + NumberedList("song_id", 25) + "}",
       1, NumberedIds(1, 10)},
      {"private: the limit counts ids already held", Kind::kPrivate,
       R"({"songinfo":)" + NumberedList("song_id", 6) + "}", 2,
       [] {
         Ids ids = NumberedIds(1, 6);
         for (const auto& id : NumberedIds(1, 4)) ids.push_back(id);
         return ids;
       }()},
      {"private: songinfo under result is not read",
       Kind::kPrivate,
       R"({"result":{"songinfo":)" + NumberedList("song_id", 3) + "}}",
       1,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lumo::testing::ScopedFakeTransport transport;
    const Outcome outcome = RunRequest(c.kind, *transport, c.body, c.runs);
    EXPECT_EQ(outcome.emissions, c.runs);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_EQ(outcome.ids, c.ids);
  }
}

}  // namespace
