// The song-list requests: what each parser makes of its answers beyond the fields of its records,
// which diy_records_test.cc pins. The parameters test has their exact queries and the variants of
// their own pairs.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "lumoapi/diy/add_list.h"
#include "lumoapi/diy/add_ugc_song_list_at_once.h"
#include "lumoapi/diy/get_channels.h"
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

// What of a page is read, by kind and by code. (The fields of each entry are pinned in
// diy_records_test.cc.)
TEST(GetPlayListsTest, ReadsEntriesByKind) {
  struct Case {
    const char* name;
    int kind;
    std::string body;
    int32_t listnum;
    size_t entries;
    bool havemore;
  };
  const Case cases[] = {
      {"every entry is kept, an empty one too", 0,
       R"({"error_code":22000,"result":{"listnum":"2","havemore":1,"listinfo":[{"x":1},{}]}})", 2,
       2, true},
      {"the count only", 3,
       R"({"error_code":22000,"result":{"listnum":9,"havemore":1,"listinfo":[{}]}})", 9, 0, false},
      {"listinfo not an array", 0,
       R"({"error_code":22000,"result":{"listnum":1,"havemore":1,"listinfo":{}}})", 1, 0, false},
      {"an empty page that says more", 0,
       R"({"error_code":22000,"result":{"havemore":1,"listinfo":[]}})", 0, 0, true},
      {"an accepted code reads nothing", 0,
       R"({"error_code":22469,"result":{"listnum":5,"listinfo":[{}]}})", 0, 0, false},
      {"an answer without a code reads nothing", 0,
       R"({"result":{"listnum":5,"havemore":1,"listinfo":[{}]}})", 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GetPlayLists request(L"t", 0, 50, c.kind);
    Answer(request, c.body);
    EXPECT_TRUE(request.succeeded);
    EXPECT_EQ(request.listnum, c.listnum);
    EXPECT_EQ(request.lists.size(), c.entries);
    EXPECT_EQ(request.havemore, c.havemore);
  }
}

TEST(FirstOfCommaListTest, KeepsTheFirstPiece) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L""},   {L"12", L"12"}, {L"1,2", L"1"}, {L"1 ,\t2 , 3", L"1"},      {L" 1, 2", L" 1"},
      {L",2", L""}, {L"1 ", L"1 "}, {L" ,2", L""},  {L"a  b  ,  c,d", L"a  b"},
  };
  for (const auto& [text, first] : cases) EXPECT_EQ(FirstOfCommaList(text), first) << text;
}

// Songs without an id are dropped and the others keep their order; a page with songs is not
// logged. (The fields of the list and its songs are pinned in diy_records_test.cc.)
TEST(GetPlayListTest, KeepsTheSongsWithAnId) {
  lumo::testing::GlogCapture glog;
  GetPlayList request(L"t", L"5", 0, 20);
  Answer(request, R"({"result":{"song_num":250,"songlist":[{"song_id":"1"},{"title":"no id"},)"
                  R"({"song_id":"2"}]}})");
  EXPECT_TRUE(request.succeeded);
  EXPECT_EQ(request.song_num, 250);
  Ids song_ids;
  for (const PlayListSong& song : request.songs) song_ids.push_back(song.song_id);
  EXPECT_EQ(song_ids, (Ids{L"1", L"2"}));
  EXPECT_TRUE(glog.lines.empty());
}

// The answer is logged in GBK, with a session token in it written as "***".
TEST(GetPlayListTest, APageWithoutSongsIsLoggedInGbk) {
  // The answer and, where it differs, what the log line holds of it.
  const std::pair<const char*, const char*> cases[] = {
      {R"({"result":{"song_num":3,"songlist":{}}})", nullptr},
      {R"({"result":{"song_num":3,"songlist":[]}})", nullptr},
      {R"({"result":{"song_num":3,"songlist":[{"title":"no id"}]},"note":"空"})",
       "{\"result\":{\"song_num\":3,\"songlist\":[{\"title\":\"no id\"}]},\"note\":\"\xBF\xD5\"}"},
      {R"({"result":{"song_num":3,"share_url":"http://192.0.2.1/s?kwtok=SECRET-TOKEN&x=1"}})",
       R"({"result":{"song_num":3,"share_url":"http://192.0.2.1/s?kwtok=***&x=1"}})"},
  };
  for (const auto& [body, logged] : cases) {
    SCOPED_TRACE(body);
    lumo::testing::GlogCapture glog;
    GetPlayList request(L"t", L"5", 0, 100);
    Answer(request, body);
    EXPECT_TRUE(request.succeeded);
    EXPECT_EQ(request.song_num, 3);
    EXPECT_TRUE(request.songs.empty());
    ASSERT_EQ(glog.lines.size(), 1u);
    EXPECT_EQ(glog.lines[0].severity, google::GLOG_INFO);
    EXPECT_EQ(glog.lines[0].file, "src\\diy\\get_playlist");
    EXPECT_EQ(glog.lines[0].line, 70);
    EXPECT_EQ(glog.lines[0].text, std::string("current song list has no songs! the ret is:") +
                                      (logged ? logged : body));
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
