// The sandbox's state: every method answers, writes show in later reads, paging ends, uploads
// run end to end, and the state survives a restart on the same file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <set>
#include <thread>

#include "refusal.h"
#include "sandbox/server.h"
#include "sandbox_fixture.h"

namespace lumo::sandbox::testing {
namespace {

using web::json::value;

class StateTest : public SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    Reset();
  }

  Response List(const std::string& method, const Params& params,
                const std::string& token = kOrdinaryUserToken) {
    return client().Get(EncryptedTarget("norda.lumo.ugcdiy." + method, params), token);
  }

  Response Plain(const std::string& method, const Params& params) {
    return client().Get(PlainTarget("norda.lumo." + method, params));
  }

  // The songs of a list in stored order (first page of 100).
  std::vector<std::string> ListSongs(const std::string& list_id, const std::string& token) {
    Response page = List("getBaseInfo",
                         {{"list_id", list_id},
                          {"size", "100"},
                          {"withsong", "1"},
                          {"offset", "0"},
                          {"withcount", "1"}},
                         token);
    std::vector<std::string> ids;
    for (const value& song : page.json.at("result").at("songlist").as_array()) {
      ids.push_back(song.at("song_id").as_string());
    }
    return ids;
  }

  std::vector<std::string> OwnListIds(const std::string& token) {
    Response page = List("userList", {{"offset", "0"}, {"source", "0"}, {"type", "10"}}, token);
    std::vector<std::string> ids;
    for (const value& entry : page.json.at("result").at("listinfo").as_array()) {
      ids.push_back(entry.at("list_id").as_string());
    }
    return ids;
  }
};

// One valid call of each method of the table, with the codes it may answer.
TEST_F(StateTest, AnswersEveryMethodOfTheTable) {
  const std::string kTok = kOrdinaryUserToken;
  const std::string kMd5 = Md5Hex("nothing uploaded");
  std::vector<std::string> order = ListSongs("300154", kTok);
  std::string reversed;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    reversed += (reversed.empty() ? "" : ",") + *it;
  }
  struct Case {
    std::string method;
    bool encrypted;
    Params params;
    std::string version = "1.0.0";
    std::vector<std::string> headers = {};
  };
  const std::vector<Case> cases = {
      {"song.getSongLink",
       false,
       {{"songid", "100002"},
        {"lebo", "0"},
        {"down", "0"},
        {"bit", "320"},
        {"type", "1"},
        {"kwtok", kTok}}},
      {"search.catalogSug", false, {{"query", "Rain"}}},
      {"search.merge", false, {{"query", "Mira"}, {"type", "1"}}},
      {"search.lrcpic", false, LyricsParams("$$Mira", 42, 2)},
      {"artist.getInfo", false, {{"artistid", "2002"}, {"all_pic", "1"}}},
      {"song.getRecommandSongList", false, {{"song_id", "100002"}, {"num", "20"}}},
      {"active.startPC", false, {}},
      {"radio.getChannelSong",
       false,
       {{"channelname", "Rock & Roll"}, {"rn", "10"}, {"kwtok", kTok}},
       "2.2.0"},
      {"radio.serv",
       false,
       {{"usrname", kOrdinaryUserName}, {"needdata", "true"}, {"kwtok", kTok}}},
      {"song.getSmartSongList",
       false,
       {{"scene_id", "3"}, {"item_id", "0"}, {"page_size", "10"}, {"kwtok", ""}},
       "2.2.0"},
      {"radio.playAction",
       false,
       {{"nordaid", "m1"},
        {"ch_name", "Jazz Café"},
        {"item_id", "100003"},
        {"action_no", "-2"},
        {"kwtok", kTok}}},
      {"ugcdiy.userList", true, {{"offset", "0"}}},
      {"ugcdiy.getBaseInfo",
       true,
       {{"list_id", "300151"},
        {"size", "100"},
        {"withsong", "1"},
        {"offset", "0"},
        {"withcount", "1"}}},
      {"ugcdiy.getChannels", true, {}},
      {"ugcmsg.getCommentListByType",
       true,
       {{"type_id", "300001"}, {"type", "2"}, {"size", "20"}, {"offset", "0"}}},
      {"album.getAlbumInfo", false, {{"album_id", "5003"}}},
      {"ugcdiy.addSongList", true, {{"title", Encode("New & Blue")}, {"process", "1"}}},
      {"ugcdiy.editDiy",
       true,
       {{"list_id", "300151"},
        {"desc", Encode("d")},
        {"tag", "Pop"},
        {"diypic", ""},
        {"title", Encode("T")},
        {"process", "1"}}},
      {"ugcdiy.delList", true, {{"list_id", "300152"}}},
      {"ugcdiy.addSongToDiy", true, {{"song_ids", "100010,100011"}, {"list_id", "300153"}}},
      {"ugcdiy.delListSongs", true, {{"song_ids", "100010"}, {"list_id", "300153"}}},
      {"ugcdiy.addSongListOnce",
       true,
       {{"kwtok", kTok}, {"title", Encode("Once")}, {"process", "1"}, {"song_ids", "100004"}}},
      {"ugcdiy.sortDiySongs", true, {{"list_id", "300154"}, {"song_ids", reversed}}},
      {"ugcdiy.addFavoriteDiy", true, {{"list_id", "300010"}, {"source", "1"}}},
      {"ugcdiy.deleteFavoriteDiy", true, {{"list_id", "300010"}, {"source", "1"}}},
      {"favorite.getFavoriteSong", false, {{"kwtok", kTok}, {"pn", "0"}, {"rn", "50"}}},
      {"favorite.getCollectSong", false, {{"kwtok", kTok}, {"pn", "0"}, {"rn", "50"}}},
      {"favorite.addSongFavorite", false, {{"kwtok", kTok}, {"songId", "100004"}, {"time", "-5"}}},
      {"favorite.addSongFavorites", false, {{"kwtok", kTok}, {"songId", "100005,100006"}}},
      {"favorite.delCollectSong", false, {{"kwtok", kTok}, {"songId", "100005"}}},
      {"favorite.delSongFavorites", false, {{"kwtok", kTok}, {"songId", "100005"}}},
      {"cloud.checkFile",
       false,
       {{"content_md5", kMd5},
        {"slice_md5", kMd5},
        {"ext", "mp3"},
        {"content_length", "5242880"},
        {"content_crc32", "4294967295"},
        {"id", "m1"},
        {"isXos", "1"}}},
      {"cloud.signature2",
       false,
       {{"input_method", "PUT"},
        {"object", "cloud/" + kMd5 + ".mp3"},
        {"content_length", "10"},
        {"content_md5", kMd5},
        {"content_type", "application/octet-stream"}}},
      {"cloud.record",
       false,
       {{"kwtok", kTok},
        {"song_id", ""},
        {"file_link", "http://store.lumo.example/cloud/x.mp3"},
        {"md5", kMd5},
        {"song_title", "t"},
        {"album_title", ""},
        {"artist_name", ""},
        {"file_name", "x"},
        {"compose", ""},
        {"songwriting", ""},
        {"publish_time", ""},
        {"style", ""},
        {"file_bitrate", "320"},
        {"file_duartion", "245"},
        {"file_size", "10"},
        {"ext", "mp3"},
        {"id", "m1"},
        {"isXos", "1"}}},
      {"cloud.expand", false, {{"kwtok", kTok}}},
      {"user.down", false, {{"songid", "1,2"}, {"uid", "7"}}, "1.0.0", {"CUID: m1"}},
  };
  ASSERT_EQ(cases.size(), 36u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    std::string method = "norda.lumo." + c.method;
    Response response =
        c.encrypted ? client().Get(EncryptedTarget(method, c.params, NowSeconds(), c.version),
                                   c.method == "ugcdiy.getChannels" ||
                                           c.method == "ugcmsg.getCommentListByType"
                                       ? ""
                                       : kTok)
                    : client().Get(PlainTarget(method, c.params, c.version), "", c.headers);
    ASSERT_TRUE(response.json.is_object()) << response.body;
    int answer = response.error_code();
    // The record of a file that was never uploaded is the one refusal expected here.
    int expected = c.method == "cloud.record" ? code::kObjectNotStored : code::kOk;
    EXPECT_EQ(answer, expected) << response.body;
  }
}

TEST_F(StateTest, SongLinkAnswersInTheShapesTheClientReads) {
  struct Case {
    const char* songid;
    const char* bit;
    int expected;
    const char* key;  // a key of "result" that must be there
  };
  const Case cases[] = {
      {"100005", "", code::kOk, "bitrate"},        // tier with flac: the flac file is last
      {"100017", "", code::kPaidSong, "buy_url"},  // every 17th song is paid
      {"100029", "", code::kBlockedSong, "tips"},  // every 29th song is blocked
      {"Desert Fires$$The Wild Rivers", "128", code::kOk, "songinfo"},
      {"999999", "", code::kNoSuchSong, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.songid);
    Response response = Plain("song.getSongLink", {{"songid", c.songid},
                                                   {"lebo", "0"},
                                                   {"down", "1"},
                                                   {"bit", c.bit},
                                                   {"type", "1"},
                                                   {"kwtok", ""}});
    ASSERT_EQ(response.error_code(), c.expected) << response.body;
    if (c.key) {
      EXPECT_TRUE(response.json.at("result").has_field(c.key)) << response.body;
    }
  }
  Response flac = Plain("song.getSongLink", {{"songid", "100005"},
                                             {"lebo", "0"},
                                             {"down", "0"},
                                             {"bit", ""},
                                             {"type", "1"},
                                             {"kwtok", ""}});
  const auto& files = flac.json.at("result").at("bitrate").as_array();
  EXPECT_EQ(files.at(files.size() - 1).at("file_extension").as_string(), "flac");
  EXPECT_NE(flac.json.at("result").at("songinfo").at("all_rate").as_string().find("flac"),
            std::string::npos);
  Response capped = Plain("song.getSongLink", {{"songid", "100005"},
                                               {"lebo", "0"},
                                               {"down", "0"},
                                               {"bit", "192"},
                                               {"type", "1"},
                                               {"kwtok", ""}});
  const auto& capped_files = capped.json.at("result").at("bitrate").as_array();
  EXPECT_EQ(capped_files.at(capped_files.size() - 1).at("file_bitrate").as_integer(), 192);
}

TEST_F(StateTest, ListWritesShowInLaterReads) {
  const std::string kTitle = "Rock & Roll = 1+1 晴天 100%";
  Response created = List("addSongList", {{"title", Encode(kTitle)}, {"process", "1"}});
  ASSERT_EQ(created.error_code(), code::kOk) << created.body;
  std::string id = created.json.at("result").at("list_id").as_string();
  EXPECT_EQ(created.json.at("result").at("title").as_string(), kTitle);
  EXPECT_EQ(OwnListIds(kOrdinaryUserToken).front(), id);

  ASSERT_EQ(
      List("addSongToDiy", {{"song_ids", "100009,100003,100007"}, {"list_id", id}}).error_code(),
      code::kOk);
  ASSERT_EQ(List("addSongToDiy", {{"song_ids", "100003,100001"}, {"list_id", id}}).error_code(),
            code::kOk);
  EXPECT_EQ(ListSongs(id, kOrdinaryUserToken),
            (std::vector<std::string>{"100009", "100003", "100007", "100001"}));

  ASSERT_EQ(List("sortDiySongs", {{"list_id", id}, {"song_ids", "100001,100007,100003,100009"}})
                .error_code(),
            code::kOk);
  EXPECT_EQ(ListSongs(id, kOrdinaryUserToken),
            (std::vector<std::string>{"100001", "100007", "100003", "100009"}));
  EXPECT_EQ(List("sortDiySongs", {{"list_id", id}, {"song_ids", "100001,100007"}}).error_code(),
            code::kOrderMismatch);

  ASSERT_EQ(List("delListSongs", {{"song_ids", "100007,100009"}, {"list_id", id}}).error_code(),
            code::kOk);
  EXPECT_EQ(ListSongs(id, kOrdinaryUserToken), (std::vector<std::string>{"100001", "100003"}));

  std::string long_desc(150, 'x');
  Response edited = List("editDiy", {{"list_id", id},
                                     {"desc", Encode(long_desc)},
                                     {"tag", "Pop"},
                                     {"diypic", ""},
                                     {"title", Encode("Renamed")},
                                     {"process", "1"}});
  EXPECT_EQ(edited.error_code(), code::kEditedWithWarning);
  EXPECT_EQ(edited.json.at("result").at("desc").as_string().size(), 140u);
  EXPECT_EQ(List("editDiy", {{"list_id", id},
                             {"desc", "raw text"},
                             {"tag", ""},
                             {"diypic", ""},
                             {"title", Encode("x")},
                             {"process", "1"}})
                .error_code(),
            code::kInvalidValue);  // the client encodes the description before sending it

  EXPECT_EQ(List("delList", {{"list_id", id}}, kBigUserToken).error_code(), code::kNotListOwner);
  ASSERT_EQ(List("delList", {{"list_id", id}}).error_code(), code::kOk);
  EXPECT_EQ(List("getBaseInfo", {{"list_id", id},
                                 {"size", "100"},
                                 {"withsong", "1"},
                                 {"offset", "0"},
                                 {"withcount", "1"}})
                .error_code(),
            code::kNoSuchList);
}

TEST_F(StateTest, FullListRefusesMoreSongs) {
  // The big user's oldest list holds the 500 songs a list can take.
  const std::string full = "300156";
  EXPECT_EQ(List("getBaseInfo",
                 {{"list_id", full},
                  {"size", "1"},
                  {"withsong", "0"},
                  {"offset", "0"},
                  {"withcount", "1"}},
                 kBigUserToken)
                .json.at("result")
                .at("song_num")
                .as_integer(),
            500);
  EXPECT_EQ(
      List("addSongToDiy", {{"song_ids", "103000"}, {"list_id", full}}, kBigUserToken).error_code(),
      code::kListFull);
}

TEST_F(StateTest, FavouritesAndCollectionsAddAndRemove) {
  auto favourite_ids = [&] {
    Response page = Plain("favorite.getFavoriteSong",
                          {{"kwtok", kOrdinaryUserToken}, {"pn", "0"}, {"rn", "100"}});
    std::vector<std::string> ids;
    for (const value& song : page.json.at("result").as_array()) {
      ids.push_back(song.at("song_id").as_string());
    }
    return ids;
  };
  auto add = [&](const std::string& id) {
    return Plain("favorite.addSongFavorite",
                 {{"kwtok", kOrdinaryUserToken}, {"songId", id}, {"time", "1700000000"}});
  };
  ASSERT_EQ(add("100004").error_code(), code::kOk);
  EXPECT_EQ(favourite_ids().front(), "100004");
  EXPECT_EQ(add("100004").error_code(), code::kAlreadyFavorite);
  Response paid = add("100017");
  EXPECT_EQ(paid.error_code(), code::kPaidSong);
  EXPECT_FALSE(paid.json.at("result").at("buy_url").as_string().empty());
  EXPECT_EQ(add("100029").json.at("result").at("tips").is_string(), true);

  Response several = Plain("favorite.addSongFavorites",
                           {{"kwtok", kOrdinaryUserToken}, {"songId", "100004,100006,100017"}});
  ASSERT_EQ(several.json.at("result").size(), 1u);  // 100004 is there, 100017 is paid
  EXPECT_EQ(several.json.at("result").at(0).as_string(), "100006");

  ASSERT_EQ(Plain("favorite.delSongFavorites",
                  {{"kwtok", kOrdinaryUserToken}, {"songId", "100004,100006"}})
                .error_code(),
            code::kOk);
  std::vector<std::string> after = favourite_ids();
  EXPECT_EQ(std::count(after.begin(), after.end(), "100004"), 0);
  EXPECT_EQ(after.size(), 30u);

  auto collected = [&](const char* pn) {
    return Plain("favorite.getCollectSong",
                 {{"kwtok", kOrdinaryUserToken}, {"pn", pn}, {"rn", "50"}});
  };
  Response first = collected("0");
  ASSERT_EQ(first.json.at("result").size(), 20u);
  std::string gone = first.json.at("result").at(0).at("song_id").as_string();
  ASSERT_EQ(Plain("favorite.delCollectSong", {{"kwtok", kOrdinaryUserToken}, {"songId", gone}})
                .error_code(),
            code::kOk);
  EXPECT_EQ(collected("0").json.at("result").size(), 19u);
  Response past_end = collected("50");
  EXPECT_EQ(past_end.error_code(), code::kNoCollectedSongs);
  EXPECT_EQ(past_end.json.at("result").size(), 0u);

  auto favourite_lists = [&] {
    return List("userList", {{"offset", "0"}, {"source", "0"}, {"type", "0"}})
        .json.at("result")
        .at("listnum")
        .as_integer();
  };
  int before = favourite_lists();
  ASSERT_EQ(List("addFavoriteDiy", {{"list_id", "300100"}, {"source", "0"}}).error_code(),
            code::kOk);
  EXPECT_EQ(favourite_lists(), before + 1);
  ASSERT_EQ(List("deleteFavoriteDiy", {{"list_id", "300100"}, {"source", "0"}}).error_code(),
            code::kOk);
  EXPECT_EQ(favourite_lists(), before);
  EXPECT_EQ(List("deleteFavoriteDiy", {{"list_id", "300100"}, {"source", "0"}}).error_code(),
            code::kNotListFavorite);
}

TEST_F(StateTest, PagingEnds) {
  // Lists by "offset", 50 a page, while "havemore" says so.
  std::set<std::string> lists;
  int pages = 0;
  int listnum = 0;
  for (bool more = true; more && pages < 100; ++pages) {
    Response page =
        List("userList", {{"offset", std::to_string(pages * 50)}, {"source", "0"}, {"type", "10"}},
             kBigUserToken);
    for (const value& entry : page.json.at("result").at("listinfo").as_array()) {
      lists.insert(entry.at("list_id").as_string());
    }
    listnum = page.json.at("result").at("listnum").as_integer();
    more = page.json.at("result").at("havemore").as_integer() == 1;
  }
  EXPECT_EQ(pages, 6);
  EXPECT_EQ(lists.size(), 260u);
  EXPECT_EQ(listnum, 260);

  // Favourites by "pn" and "rn" with a top-level "havemore".
  std::set<std::string> favourites;
  pages = 0;
  for (bool more = true; more && pages < 100; ++pages) {
    Response page =
        Plain("favorite.getFavoriteSong",
              {{"kwtok", kBigUserToken}, {"pn", std::to_string(pages * 50)}, {"rn", "50"}});
    for (const value& song : page.json.at("result").as_array()) {
      favourites.insert(song.at("song_id").as_string());
    }
    more = page.json.at("havemore").as_integer() == 1;
  }
  EXPECT_EQ(pages, 48);
  EXPECT_EQ(favourites.size(), 2400u);

  // A list's songs by "offset" and "size"; "song_num" is the total.
  std::set<std::string> songs;
  for (int offset = 0; offset < 500; offset += 100) {
    Response page = List("getBaseInfo",
                         {{"list_id", "300156"},
                          {"size", "100"},
                          {"withsong", "1"},
                          {"offset", std::to_string(offset)},
                          {"withcount", "1"}},
                         kBigUserToken);
    EXPECT_EQ(page.json.at("result").at("song_num").as_integer(), 500);
    for (const value& song : page.json.at("result").at("songlist").as_array()) {
      songs.insert(song.at("song_id").as_string());
    }
  }
  EXPECT_EQ(songs.size(), 500u);
}

TEST_F(StateTest, UploadRunsEndToEnd) {
  const std::string kBytes = "ID3 not really an mp3, but bytes all the same";
  const std::string md5 = Md5Hex(kBytes);
  const std::string size = std::to_string(kBytes.size());
  Params check = {
      {"content_md5", md5},       {"slice_md5", md5}, {"ext", "mp3"}, {"content_length", size},
      {"content_crc32", "12345"}, {"id", "m1"},       {"isXos", "1"}};
  Response unknown = Plain("cloud.checkFile", check);
  ASSERT_EQ(unknown.json.at("result").at("song_id").as_string(), "0");
  std::string object = unknown.json.at("result").at("object").as_string();
  std::string link = unknown.json.at("result").at("file_link").as_string();

  auto sign = [&] {
    return Plain("cloud.signature2", {{"input_method", "PUT"},
                                      {"object", object},
                                      {"content_length", size},
                                      {"content_md5", md5},
                                      {"content_type", "application/octet-stream"}})
        .json.at("result");
  };
  auto put = [&](const value& grant, const std::string& body) {
    return client().Send("PUT", "/" + object,
                         {"Host: " + grant.at("Host").as_string(),
                          "Content-Type: " + grant.at("Content-Type").as_string(),
                          "x-qcs-date: " + grant.at("x-qcs-date").as_string(),
                          "Authorization: " + grant.at("Authorization").as_string(),
                          "Expect: 100-continue"},
                         body);
  };
  value grant = sign();
  EXPECT_EQ(grant.at("Content-Length").as_integer(), static_cast<int>(kBytes.size()));
  Response wrong = put(grant, std::string(kBytes.size(), 'x'));
  EXPECT_EQ(wrong.status, 400);
  EXPECT_EQ(wrong.error_code(), code::kUploadMd5Mismatch);
  Response stored = put(grant, kBytes);
  ASSERT_EQ(stored.status, 200) << stored.body;
  EXPECT_EQ(put(grant, kBytes).error_code(), code::kGrantUsed);
  EXPECT_EQ(client().Send("GET", "/" + object, {}).body, kBytes);

  Params record = {{"kwtok", kOrdinaryUserToken},
                   {"song_id", ""},
                   {"file_link", link},
                   {"md5", md5},
                   {"song_title", "Mine"},
                   {"album_title", ""},
                   {"artist_name", "Me"},
                   {"file_name", "mine"},
                   {"compose", ""},
                   {"songwriting", ""},
                   {"publish_time", ""},
                   {"style", ""},
                   {"file_bitrate", "320"},
                   {"file_duartion", "245"},
                   {"file_size", size},
                   {"ext", "mp3"},
                   {"id", "m1"},
                   {"isXos", "1"}};
  Response recorded = Plain("cloud.record", record);
  ASSERT_EQ(recorded.error_code(), code::kOk) << recorded.body;
  std::string song_id = recorded.json.at("result").at("song_id").as_string();
  EXPECT_EQ(Plain("cloud.checkFile", check).json.at("result").at("song_id").as_string(), song_id);
  EXPECT_EQ(Plain("cloud.record", record).json.at("result").at("song_id").as_string(), song_id);
  EXPECT_EQ(Plain("cloud.expand", {{"kwtok", kOrdinaryUserToken}})
                .json.at("result")
                .at("used")
                .as_integer(),
            1);
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

TEST(RestartTest, StateSurvivesARestartOnTheSameFile) {
  char path[] = "/tmp/lumo-sandbox-test-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::remove(path);
  Options options;
  options.db_path = path;
  std::string id;
  {
    Server server(options);
    ASSERT_TRUE(server.Start(nullptr));
    Client client(server.port());
    Response created = client.Get(
        EncryptedTarget("norda.lumo.ugcdiy.addSongList", {{"title", "Kept"}, {"process", "1"}}),
        kBigUserToken);
    ASSERT_EQ(created.error_code(), code::kOk);
    id = created.json.at("result").at("list_id").as_string();
  }
  {
    Server server(options);
    ASSERT_TRUE(server.Start(nullptr));
    Client client(server.port());
    Response read =
        client.Get(EncryptedTarget("norda.lumo.ugcdiy.getBaseInfo", {{"list_id", id},
                                                                     {"size", "100"},
                                                                     {"withsong", "1"},
                                                                     {"offset", "0"},
                                                                     {"withcount", "1"}}),
                   kBigUserToken);
    ASSERT_EQ(read.error_code(), code::kOk) << read.body;
    EXPECT_EQ(read.json.at("result").at("info").at("list_title").as_string(), "Kept");
  }
  for (const char* suffix : {"", "-wal", "-shm"}) std::remove((std::string(path) + suffix).c_str());
}

}  // namespace
}  // namespace lumo::sandbox::testing
