// The song-list requests: what each parser makes of its answers. The parameters test has their
// exact queries and the variants of their own pairs.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "base/string_utils.h"
#include "lumoapi/diy/add_list.h"
#include "lumoapi/diy/add_ugc_song_list_at_once.h"
#include "lumoapi/diy/get_album_info.h"
#include "lumoapi/diy/get_channels.h"
#include "lumoapi/diy/get_comment_list.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/diy/get_playlists.h"
#include "lumoapi/diy/up_list.h"
#include "support/fake_transport.h"
#include "support/glog_capture.h"
#include "support/request_harness.h"

namespace lumoapi::diy {
namespace {

using Ids = std::vector<std::wstring>;

// Answers `request` once with `body` (HTTP 200) and expects one completion.
void Answer(RequestBase& request, const std::string& body) {
  lumo::testing::ScopedFakeTransport transport;
  EXPECT_EQ(lumo::testing::RunWithAnswer(request, *transport, 200, body), 1) << body;
}

TEST(GetPlayListsTest, ReadsEntriesByKind) {
  const std::string both_keys =
      R"({"list_id":"L","song_num":3,"list_title":"Mine","list_pic":"p.jpg",)"
      R"("album_id":"A","songs_total":"12","title":"Album","pic_big":"big.jpg"})";
  struct Case {
    const char* name;
    int kind;
    std::string body;
    int32_t listnum;
    std::vector<PlayListItem> lists;
    bool havemore;
  };
  const Case cases[] = {
      {"list keys",
       1,
       R"({"error_code":22000,"result":{"listnum":7,"havemore":1,"listinfo":[)" + both_keys + "]}}",
       7,
       {{L"L", L"Mine", L"p.jpg", 3, 500, 1}},
       true},
      {"album keys",
       2,
       R"({"error_code":22000,"result":{"listnum":"2","havemore":0,"listinfo":[)" + both_keys +
           ",{}]}}",
       2,
       {{L"A", L"Album", L"big.jpg", 12, 500, 2}, {L"", L"", L"", 0, 500, 2}},
       false},
      {"the count only",
       3,
       R"({"error_code":22000,"result":{"listnum":9,"havemore":1,"listinfo":[)" + both_keys + "]}}",
       9,
       {},
       false},
      {"listinfo not an array",
       0,
       R"({"error_code":22000,"result":{"listnum":1,"havemore":1,"listinfo":{}}})",
       1,
       {},
       false},
      {"an empty page that says more",
       0,
       R"({"error_code":22000,"result":{"havemore":1,"listinfo":[]}})",
       0,
       {},
       true},
      {"an accepted code reads nothing",
       0,
       R"({"error_code":22469,"result":{"listnum":5,"listinfo":[{}]}})",
       0,
       {},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GetPlayLists request(L"t", 0, 50, c.kind);
    Answer(request, c.body);
    EXPECT_TRUE(request.succeeded);
    EXPECT_EQ(request.listnum, c.listnum);
    EXPECT_EQ(request.havemore, c.havemore);
    const auto fields = [](const std::vector<PlayListItem>& lists) {
      std::vector<std::tuple<std::wstring, std::wstring, std::wstring, int32_t, int32_t, int32_t>>
          all;
      all.reserve(lists.size());
      for (const auto& l : lists)
        all.emplace_back(l.list_id, l.title, l.pic, l.song_num, l.capacity, l.kind);
      return all;
    };
    EXPECT_EQ(fields(request.lists), fields(c.lists));
  }
}

TEST(FirstOfCommaListTest, KeepsTheFirstPiece) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L""},   {L"12", L"12"}, {L"1,2", L"1"}, {L"1 ,\t2 , 3", L"1"},      {L" 1, 2", L" 1"},
      {L",2", L""}, {L"1 ", L"1 "}, {L" ,2", L""},  {L"a  b  ,  c,d", L"a  b"},
  };
  for (const auto& [text, first] : cases) EXPECT_EQ(FirstOfCommaList(text), first) << text;
}

TEST(GetPlayListTest, ReadsTheListAndItsSongs) {
  lumo::testing::GlogCapture glog;
  GetPlayList request(L"t", L"5", 0, 20);
  Answer(request, R"({"result":{"song_num":250,"share_num":5,"listen_num":"9","share_url":"u",)"
                  R"("info":{"list_id":"5","list_title":"T","createtime":1700000000,)"
                  R"("userinfo":{"userid":"10001","username":"lin.mei"}},)"
                  R"("songlist":[{"song_id":"1","title":"A","artist_id":"7 , 8","has_mv":1,)"
                  R"("pic_big":"not read"},{"title":"no id"},{"song_id":"2","artist_id":"9"}]}})");
  EXPECT_TRUE(request.succeeded);
  EXPECT_EQ(request.song_num, 250);
  const PlayListInfo& i = request.info;
  EXPECT_EQ(i.share_num + L"|" + i.listen_num + L"|" + i.share_url + L"|" + i.list_title + L"|" +
                i.createtime + L"|" + i.username,
            L"5|9|u|T|1700000000|lin.mei");
  ASSERT_EQ(request.songs.size(), 2u);
  EXPECT_EQ(request.songs[0].song_id + L"|" + request.songs[0].artist_id + L"|" +
                request.songs[0].pic_big + L"|" + request.songs[1].artist_id,
            L"1|7||9");
  EXPECT_TRUE(request.songs[0].has_mv);
  EXPECT_TRUE(glog.lines.empty());
}

TEST(GetPlayListTest, APageWithoutSongsIsLoggedInGbk) {
  const char* bodies[] = {
      R"({"result":{"song_num":3,"songlist":{}}})",
      R"({"result":{"song_num":3,"songlist":[]}})",
      R"({"result":{"song_num":3,"songlist":[{"title":"no id"}]},"note":"空"})",
      // A session token in the answer is written as "***".
      R"({"result":{"song_num":3,"share_url":"http://192.0.2.1/s?kwtok=SECRET-TOKEN&x=1"}})",
  };
  for (const char* body : bodies) {
    SCOPED_TRACE(body);
    lumo::testing::GlogCapture glog;
    GetPlayList request(L"t", L"5", 0, 100);
    Answer(request, body);
    EXPECT_TRUE(request.succeeded);
    EXPECT_EQ(request.song_num, 3);
    EXPECT_TRUE(request.songs.empty());
    std::string logged = base::string_utils::Utf16ToGBK(request.response_text);
    if (const size_t token = logged.find("SECRET-TOKEN"); token != std::string::npos) {
      logged.replace(token, 12, "***");
    }
    ASSERT_EQ(glog.lines.size(), 1u);
    EXPECT_EQ(glog.lines[0].severity, google::GLOG_INFO);
    EXPECT_EQ(glog.lines[0].file, "src\\diy\\get_playlist");
    EXPECT_EQ(glog.lines[0].line, 70);
    EXPECT_EQ(glog.lines[0].text, "current song list has no songs! the ret is:" + logged);
  }
}

TEST(GetChannelsTest, ReadsTagGroupsOnlyWhenBothArraysAreThere) {
  using Groups = std::vector<std::map<std::wstring, std::vector<std::wstring>>>;
  struct Case {
    const char* body;
    Groups channels;
    std::vector<std::wstring> hot;
    const wchar_t* result_text;
  };
  const Case cases[] = {
      {R"({"result":{"hot":["a",1],"tags":[{"first":"A","second":["B","C"]},{"first":"A"}]}})",
       {{{L"A", {L"B", L"C"}}}, {{L"A", {}}}},
       {L"a", L"1"},
       nullptr},
      {R"({"result":{"tags":[{"first":"A","second":["B"]}]}})",
       {},
       {},
       LR"({"tags":[{"first":"A","second":["B"]}]})"},
      {R"({"result":"text"})", {}, {}, L"text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    GetChannels request;
    Answer(request, c.body);
    EXPECT_EQ(request.channels, c.channels);
    EXPECT_EQ(request.hot, c.hot);
    if (c.result_text) {
      EXPECT_EQ(request.result_text, c.result_text);
    }
  }
}

TEST(GetCommentListTest, ReadsTheCount) {
  GetCommentList request(L"42", 2, 20, 0);
  Answer(request, R"({"result":{"commentlist":[{}],"commentlist_last_nums":"17"}})");
  EXPECT_EQ(request.commentlist_last_nums, 17);
}

TEST(GetAlbumInfoTest, PlacesTheAlbumInListFields) {
  GetAlbumInfo request(L"ignored", L"300");
  Answer(request, R"({"albumInfo":{"album_id":"300","artist_id":"7","author":"Mira",)"
                  R"("pic_big":"b.jpg","title":"Blue","info":"D","publishtime":"2020-01-01",)"
                  R"("collect_num":4,"buy_url":"http://127.0.0.1/buy"},)"
                  R"("songlist":[{"song_id":"1","artist_id":"1,2","pic_small":"s.jpg"},{}]})");
  EXPECT_TRUE(request.succeeded);
  const PlayListInfo& i = request.info;
  EXPECT_EQ(i.userid + L"|" + i.list_id + L"|" + i.username + L"|" + i.userpic + L"|" + i.list_pic +
                L"|" + i.list_title + L"|" + i.list_desc + L"|" + i.createtime + L"|" +
                i.collect_num + L"|" + i.share_url + L"|" + i.comment_num,
            L"300|7|Mira|b.jpg|b.jpg|Blue|D|2020-01-01|4|http://127.0.0.1/buy|");
  ASSERT_EQ(request.songs.size(), 1u);
  EXPECT_EQ(request.songs[0].artist_id, L"1,2");
  EXPECT_EQ(request.songs[0].pic_small, L"s.jpg");
}

TEST(ListEditingTest, AnswersReplaceTheEncodedTexts) {
  AddList added(L"t", L"My list", 0);
  EXPECT_EQ(added.title, L"My%20list");
  Answer(added, R"({"result":{"list_id":"77","title":"My list"}})");
  EXPECT_EQ(added.list_id, L"77");
  EXPECT_EQ(added.title, L"My list");
  EXPECT_EQ(added.capacity, 500);

  AddList refused(L"t", L"x", 0);
  Answer(refused, R"({"error_code":41001})");
  EXPECT_FALSE(refused.succeeded);
  EXPECT_EQ(refused.list_id, L"");
  EXPECT_EQ(refused.capacity, 0);

  AddUgcSongListAtOnce at_once(L"t", L"周", L"", Ids{L"1"});
  EXPECT_EQ(at_once.title, L"%E5%91%A8");
  Answer(at_once, R"({"result":{"list_id":"78"}})");
  EXPECT_EQ(at_once.list_id, L"78");
  EXPECT_EQ(at_once.title, L"");  // replaced by what the answer holds, even nothing
  EXPECT_EQ(at_once.capacity, 500);
}

TEST(ListEditingTest, EditAcceptsAShortenedDescription) {
  for (int code : {22000, 22231, 22469, 24003}) {
    UpList edit(L"t", L"5", L"T", std::wstring(150, L'd'), L"", L"", 0);
    Answer(edit, R"({"error_code":)" + std::to_string(code) +
                     R"(,"result":{"title":"T","desc":"short"}})");
    EXPECT_TRUE(edit.succeeded) << code;
    EXPECT_EQ(edit.status, code);
    EXPECT_EQ(edit.desc, L"short") << code;
    EXPECT_EQ(edit.list_id, L"5");
  }
  UpList refused(L"t", L"5", L"T", L"d", L"", L"", 0);
  Answer(refused, R"({"error_code":22232,"result":{"title":"other"}})");
  EXPECT_FALSE(refused.succeeded);
  EXPECT_EQ(refused.title, L"T");
}

}  // namespace
}  // namespace lumoapi::diy
