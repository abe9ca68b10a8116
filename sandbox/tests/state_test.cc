// The sandbox's state: what only the sandbox decides (lists, favourites, paging, the object
// store's check of uploads) and writes showing in later reads. The library's integration tests
// cover the methods it calls end to end, and the tool's tests the state kept in a file between
// runs.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "refusal.h"
#include "sandbox/server.h"
#include "sandbox_fixture.h"

namespace lumo::sandbox::testing {
namespace {

using web::json::value;

// The values of `key` in the objects of `array`.
std::vector<std::string> Values(const value& array, const char* key) {
  std::vector<std::string> values;
  for (const value& item : array.as_array()) values.push_back(item.at(key).as_string());
  return values;
}

class StateTest : public SandboxTest {
 protected:
  Response List(const std::string& method, const Params& params,
                const std::string& token = kOrdinaryUserToken) {
    return client().Get(EncryptedTarget("norda.lumo.ugcdiy." + method, params), token);
  }

  Response Plain(const std::string& method, const Params& params) {
    return client().Get(PlainTarget("norda.lumo." + method, params));
  }

  Response BaseInfo(const std::string& list_id) {
    return List("getBaseInfo", {{"list_id", list_id},
                                {"size", "100"},
                                {"withsong", "1"},
                                {"offset", "0"},
                                {"withcount", "1"}});
  }

  std::vector<std::string> ListSongs(const std::string& list_id) {
    return Values(BaseInfo(list_id).json.at("result").at("songlist"), "song_id");
  }
};

TEST_F(StateTest, ListWritesShowInLaterReads) {
  const std::string kTitle = "Rock & Roll = 1+1 晴天 100%";
  Response created = List("addSongList", {{"title", Encode(kTitle)}, {"process", "1"}});
  ASSERT_EQ(created.error_code(), code::kOk) << created.body;
  const std::string id = created.json.at("result").at("list_id").as_string();
  EXPECT_EQ(created.json.at("result").at("title").as_string(), kTitle);
  Response own = List("userList", {{"offset", "0"}, {"source", "0"}, {"type", "10"}});
  EXPECT_EQ(Values(own.json.at("result").at("listinfo"), "list_id").front(), id);

  auto songs = [&](const char* method, const char* ids) {
    return List(method, {{"song_ids", ids}, {"list_id", id}}).error_code();
  };
  ASSERT_EQ(songs("addSongToDiy", "100009,100003,100007"), code::kOk);
  ASSERT_EQ(songs("addSongToDiy", "100003,100001"), code::kOk);
  EXPECT_EQ(ListSongs(id), (std::vector<std::string>{"100009", "100003", "100007", "100001"}));
  ASSERT_EQ(List("sortDiySongs", {{"list_id", id}, {"song_ids", "100001,100007,100003,100009"}})
                .error_code(),
            code::kOk);
  EXPECT_EQ(ListSongs(id), (std::vector<std::string>{"100001", "100007", "100003", "100009"}));
  EXPECT_EQ(List("sortDiySongs", {{"list_id", id}, {"song_ids", "100001,100007"}}).error_code(),
            code::kOrderMismatch);
  ASSERT_EQ(songs("delListSongs", "100007,100009"), code::kOk);
  EXPECT_EQ(ListSongs(id), (std::vector<std::string>{"100001", "100003"}));

  auto edit = [&](const std::string& desc) {
    return List("editDiy", {{"list_id", id},
                            {"desc", desc},
                            {"tag", "Pop"},
                            {"diypic", ""},
                            {"title", Encode("Renamed")},
                            {"process", "1"}});
  };
  Response edited = edit(Encode(std::string(150, 'x')));
  EXPECT_EQ(edited.error_code(), code::kEditedWithWarning);
  EXPECT_EQ(edited.json.at("result").at("desc").as_string().size(), 140u);
  // The client encodes the description before the query encodes it again.
  EXPECT_EQ(edit("raw text").error_code(), code::kInvalidValue);

  EXPECT_EQ(List("delList", {{"list_id", id}}, kBigUserToken).error_code(), code::kNotListOwner);
  ASSERT_EQ(List("delList", {{"list_id", id}}).error_code(), code::kOk);
  EXPECT_EQ(BaseInfo(id).error_code(), code::kNoSuchList);

  // The big user's oldest list holds the 500 songs a list can take.
  EXPECT_EQ(List("addSongToDiy", {{"song_ids", "103000"}, {"list_id", "300156"}}, kBigUserToken)
                .error_code(),
            code::kListFull);
}

TEST_F(StateTest, FavouritesTakeFreeSongsOnce) {
  auto add = [&](const std::string& id) {
    return Plain("favorite.addSongFavorite",
                 {{"kwtok", kOrdinaryUserToken}, {"songId", id}, {"time", "1700000000"}})
        .error_code();
  };
  ASSERT_EQ(add("100004"), code::kOk);
  EXPECT_EQ(add("100004"), code::kAlreadyFavorite);
  EXPECT_EQ(add("100017"), code::kPaidSong);
  EXPECT_EQ(add("100029"), code::kBlockedSong);
  // 100004 is there already and 100017 is paid.
  Response several = Plain("favorite.addSongFavorites",
                           {{"kwtok", kOrdinaryUserToken}, {"songId", "100004,100006,100017"}});
  EXPECT_EQ(several.json.at("result").serialize(), R"(["100006"])");
  ASSERT_EQ(Plain("favorite.delSongFavorites",
                  {{"kwtok", kOrdinaryUserToken}, {"songId", "100004,100006"}})
                .error_code(),
            code::kOk);
  EXPECT_EQ(add("100004"), code::kOk);
}

TEST_F(StateTest, PagingEnds) {
  // Lists by "offset", 50 a page, while "havemore" says so.
  std::set<std::string> lists;
  int pages = 0;
  for (bool more = true; more && pages < 100; ++pages) {
    Response page =
        List("userList", {{"offset", std::to_string(pages * 50)}, {"source", "0"}, {"type", "10"}},
             kBigUserToken);
    for (const std::string& id : Values(page.json.at("result").at("listinfo"), "list_id")) {
      lists.insert(id);
    }
    EXPECT_EQ(page.json.at("result").at("listnum").as_integer(), 260);
    more = page.json.at("result").at("havemore").as_integer() == 1;
  }
  EXPECT_EQ(pages, 6);
  EXPECT_EQ(lists.size(), 260u);

  // Favourites by "pn" and "rn" with a top-level "havemore".
  std::set<std::string> favourites;
  pages = 0;
  for (bool more = true; more && pages < 100; ++pages) {
    Response page =
        Plain("favorite.getFavoriteSong",
              {{"kwtok", kBigUserToken}, {"pn", std::to_string(pages * 50)}, {"rn", "50"}});
    for (const std::string& id : Values(page.json.at("result"), "song_id")) favourites.insert(id);
    more = page.json.at("havemore").as_integer() == 1;
  }
  EXPECT_EQ(pages, 48);
  EXPECT_EQ(favourites.size(), 2400u);
}

TEST_F(StateTest, ObjectStoreRefusesBytesOtherThanTheGrantedOnes) {
  const std::string kBytes = "ID3 not really an mp3, but bytes all the same";
  const std::string md5 = Md5Hex(kBytes);
  const std::string object = "cloud/" + md5 + ".mp3";
  const value grant = Plain("cloud.signature2", {{"input_method", "PUT"},
                                                 {"object", object},
                                                 {"content_length", std::to_string(kBytes.size())},
                                                 {"content_md5", md5},
                                                 {"content_type", "application/octet-stream"}})
                          .json.at("result");
  auto put = [&](const std::string& body) {
    return client().Send(
        "PUT", "/" + object,
        {"Host: " + grant.at("Host").as_string(),
         "Content-Type: " + grant.at("Content-Type").as_string(),
         "x-qcs-date: " + grant.at("x-qcs-date").as_string(),
         "Authorization: " + grant.at("Authorization").as_string(), "Expect: 100-continue"},
        body);
  };
  Response wrong = put(std::string(kBytes.size(), 'x'));
  EXPECT_EQ(wrong.status, 400);
  EXPECT_EQ(wrong.error_code(), code::kUploadMd5Mismatch);
  Response stored = put(kBytes);
  EXPECT_EQ(stored.status, 200) << stored.body;
}

TEST_F(StateTest, ConcurrentWritesAreAllKept) {
  const int kThreads = 4;
  const int kPerThread = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      Client own(SandboxEnvironment::port());
      for (int i = 0; i < kPerThread; ++i) {
        std::string id = std::to_string(102001 + t * 100 + i * 3);
        own.Get(PlainTarget("norda.lumo.favorite.addSongFavorites",
                            {{"kwtok", kCuratorToken}, {"songId", id}}));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  Response page =
      Plain("favorite.getFavoriteSong", {{"kwtok", kCuratorToken}, {"pn", "0"}, {"rn", "100"}});
  // The seed's 12 plus every free song added.
  int expected = 12;
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kPerThread; ++i) {
      int n = 2001 + t * 100 + i * 3;
      expected += (n % 17 != 0 && n % 29 != 0) ? 1 : 0;
    }
  }
  EXPECT_EQ(page.json.at("total").as_integer(), expected);
}

}  // namespace
}  // namespace lumo::sandbox::testing
