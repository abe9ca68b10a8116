// The sandbox seen from a client of its own: what its protocol checks accept and which refusal
// each kind of fault gets, and the state of song lists where only the sandbox decides. The
// library's integration tests and the tool's tests cover the methods they call end to end.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "handlers.h"
#include "protocol.h"
#include "query.h"
#include "refusal.h"
#include "sandbox/server.h"
#include "sandbox_fixture.h"

namespace lumo::sandbox::testing {
namespace {

using ProtocolTest = SandboxTest;

TEST(MethodTableTest, EveryMethodHasAHandler) {
  Router router;
  for (const MethodRules& rules : AllMethods()) {
    EXPECT_NE(router.Find(rules.name), nullptr) << rules.name;
  }
}

TEST(QueryTest, SplitsDecodesAndRefusesWhatTheClientNeverSends) {
  struct Case {
    const char* query;
    Pairs expected;  // empty with `refused` set
    bool refused;
  };
  const Case cases[] = {
      {"a=1&b=", {{"a", "1"}, {"b", ""}}, false},
      {"p=ab+c/d%3D%3D", {{"p", "ab+c/d=="}}, false},  // '+' is a plus, not a space
      {"a=1&", {}, true},                              // empty pair
      {"a=b=c", {}, true},                             // '=' left unescaped in a value
      {"a=%zz", {}, true},                             // bad escape
      {"a=%E6%99", {}, true},                          // not UTF-8
      {"a=x y", {}, true},                             // raw space
      {"a=%C3%A9\xC3\xA9", {}, true},                  // raw non-ASCII
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    if (c.refused) {
      EXPECT_THROW(ParseQuery(c.query), Refusal);
    } else {
      EXPECT_EQ(ParseQuery(c.query), c.expected);
    }
  }
}

TEST_F(ProtocolTest, RefusesEachFaultWithItsOwnCode) {
  const int64_t now = NowSeconds();
  const std::string kList = "norda.lumo.ugcdiy.userList";
  const Params kPage = {{"offset", "0"}, {"source", "0"}, {"type", "10"}};
  const std::string good = EncryptedTarget(kList, kPage, now);
  std::string bad_sign = good;
  bad_sign.back() = bad_sign.back() == '0' ? '1' : '0';
  // Valid Base64 that is no ciphertext, signed as the client signs.
  const std::string ts = std::to_string(now);
  const std::string not_cipher = "bm90IGEgY2lwaGVydGV4dA==";
  const std::string undecryptable = "/v1/restserver/lumo?method=" + kList + "&timestamp=" + ts +
                                    "&param=" + Encode(not_cipher) +
                                    "&sign=" + ParamSignature(not_cipher, ts);
  const std::string kFav = "norda.lumo.favorite.getFavoriteSong";
  const Params kFavPage = {{"kwtok", kOrdinaryUserToken}, {"pn", "0"}, {"rn", "50"}};
  const std::string kUser = kOrdinaryUserToken;

  struct Case {
    const char* name;
    std::string target;
    std::string token;
    int expected;
    const char* user_agent = nullptr;  // in place of the client's
  };
  const Case cases[] = {
      {"signed request", good, kUser, code::kOk},
      {"one byte of sign changed", bad_sign, kUser, code::kBadSignature},
      {"param that does not decrypt", undecryptable, kUser, code::kBadParam},
      {"timestamp 330 s old", EncryptedTarget(kList, kPage, now - 330), kUser,
       code::kStaleTimestamp},
      {"timestamp 330 s ahead", EncryptedTarget(kList, kPage, now + 330), kUser,
       code::kStaleTimestamp},
      {"no cookie", good, "", code::kMissingToken},
      {"unknown token", good, "not-a-token", code::kUnknownToken},
      {"plain form of an encrypted method", PlainTarget(kList, kPage), kUser,
       code::kWrongAddressForm},
      {"unknown method", PlainTarget("norda.lumo.song.nothing", {}), "", code::kBadMethod},
      {"radio channel with version 1.0.0",
       PlainTarget("norda.lumo.radio.getChannelSong",
                   {{"channelname", "Jazz Café"}, {"rn", "10"}, {"kwtok", ""}}),
       "", code::kBadCommonParameter},
      {"favourites with the cookie as well", PlainTarget(kFav, kFavPage), kUser,
       code::kUnexpectedCookie},
      {"missing parameter", PlainTarget(kFav, {{"kwtok", kUser}, {"pn", "0"}}), "",
       code::kMissingParameter},
      // What an unescaped '&' in a value turns into.
      {"stray parameter",
       PlainTarget("norda.lumo.search.catalogSug", {{"query", "Simon"}}) + "&Garfunkel=", "",
       code::kUnexpectedParameter},
      {"raw '=' in a value", PlainTarget("norda.lumo.search.catalogSug", {}) + "&query=a=b", "",
       code::kMalformedQuery},
      {"wrong user agent", good, kUser, code::kBadUserAgent, "curl/8"},
      {"kwtok parameter differs from the cookie",
       EncryptedTarget(
           "norda.lumo.ugcdiy.addSongListOnce",
           {{"kwtok", kBigUserToken}, {"title", "x"}, {"process", "1"}, {"song_ids", ""}}),
       kUser, code::kTokenMismatch},
      {"user report without CUID",
       PlainTarget("norda.lumo.user.down", {{"songid", "1,2"}, {"uid", "7"}}), "",
       code::kMissingCuid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Response response =
        c.user_agent ? client().Send(
                           "GET", c.target,
                           {std::string("User-Agent: ") + c.user_agent, "Cookie: KWTOK=" + c.token})
                     : client().Get(c.target, c.token);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.error_code(), c.expected) << response.body;
  }
}

TEST_F(ProtocolTest, LyricsLookupChecksItsEncryptedCopy) {
  const std::string kMethod = "norda.lumo.search.lrcpic";
  Params good = LyricsParams("Desert Fires$$The Wild Rivers", 123456, 1);
  Response found = client().Get(PlainTarget(kMethod, good));
  ASSERT_EQ(found.error_code(), code::kOk) << found.body;
  EXPECT_EQ(Text(found.json.at(U("songinfo")).at(U("song_id"))), "100002");

  Params other_ts = LyricsParams("Desert Fires$$The Wild Rivers", 123457, 1);
  Params mixed = good;
  mixed[3] = other_ts[3];  // "e" of another tick count
  EXPECT_EQ(client().Get(PlainTarget(kMethod, mixed)).error_code(), code::kBadLyricsCipher);
}

TEST_F(ProtocolTest, ListWritesShowInLaterReads) {
  const auto list = [this](const std::string& method, const Params& params,
                           const std::string& token = kOrdinaryUserToken) {
    return client().Get(EncryptedTarget("norda.lumo.ugcdiy." + method, params), token);
  };
  const std::string kTitle = "Rock & Roll = 1+1 晴天 100%";
  Response created = list("addSongList", {{"title", Encode(kTitle)}, {"process", "1"}});
  ASSERT_EQ(created.error_code(), code::kOk) << created.body;
  const std::string id = Text(created.json.at(U("result")).at(U("list_id")));
  EXPECT_EQ(Text(created.json.at(U("result")).at(U("title"))), kTitle);
  // Each change of the songs, its code, and the songs it leaves in the list.
  const std::tuple<const char*, const char*, int, std::vector<std::string>> steps[] = {
      {"addSongToDiy", "100009,100003,100007", code::kOk, {"100009", "100003", "100007"}},
      {"addSongToDiy", "100003,100001", code::kOk, {"100009", "100003", "100007", "100001"}},
      {"sortDiySongs",
       "100001,100007,100003,100009",
       code::kOk,
       {"100001", "100007", "100003", "100009"}},
      {"sortDiySongs",
       "100001,100007",
       code::kOrderMismatch,
       {"100001", "100007", "100003", "100009"}},
      {"delListSongs", "100007,100009", code::kOk, {"100001", "100003"}},
  };
  for (const auto& [method, ids, expected, songs] : steps) {
    EXPECT_EQ(list(method, {{"list_id", id}, {"song_ids", ids}}).error_code(), expected) << ids;
    Response info = list(
        "getBaseInfo",
        {{"list_id", id}, {"size", "100"}, {"withsong", "1"}, {"offset", "0"}, {"withcount", "1"}});
    std::vector<std::string> now;
    for (const auto& song : info.json.at(U("result")).at(U("songlist")).as_array()) {
      now.push_back(Text(song.at(U("song_id"))));
    }
    EXPECT_EQ(now, songs) << method << " " << ids;
  }
  const auto edit = [&](const std::string& desc) {
    return list("editDiy", {{"list_id", id},
                            {"desc", desc},
                            {"tag", "Pop"},
                            {"diypic", ""},
                            {"title", Encode("Renamed")},
                            {"process", "1"}});
  };
  Response edited = edit(Encode(std::string(150, 'x')));
  EXPECT_EQ(edited.error_code(), code::kEditedWithWarning);
  EXPECT_EQ(Text(edited.json.at(U("result")).at(U("desc"))).size(), 140u);
  // The client encodes the description before the query encodes it again.
  EXPECT_EQ(edit("raw text").error_code(), code::kInvalidValue);
  EXPECT_EQ(list("delList", {{"list_id", id}}, kBigUserToken).error_code(), code::kNotListOwner);
  // The big user's oldest list holds the 500 songs a list can take.
  EXPECT_EQ(list("addSongToDiy", {{"song_ids", "103000"}, {"list_id", "300156"}}, kBigUserToken)
                .error_code(),
            code::kListFull);
}

}  // namespace
}  // namespace lumo::sandbox::testing
