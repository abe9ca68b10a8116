#include "lumoapi/song/get_song_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "settings/language_settings.h"
#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace lumoapi::song {
namespace {

using lumo::testing::OwnPairs;
using lumo::testing::Pairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;
using SongUrlItem = GetSongLink::SongUrlItem;

std::shared_ptr<utilities::SongInfo> MakeSong(std::wstring id, std::wstring title,
                                              std::wstring author, bool lebo = false) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = std::move(id);
  song->title = std::move(title);
  song->author = std::move(author);
  song->lebo = lebo;
  return song;
}

struct Outcome {
  int completions = 0;
  bool succeeded = false;
  int32_t status = 0;
  SongUrlItem item;
};

Outcome Resolve(const std::string& body) {
  ScopedFakeTransport transport;
  GetSongLink request(MakeSong(L"1", L"", L""), false, L"", false, L"");
  Outcome outcome;
  outcome.completions = RunWithAnswer(request, *transport, 200, body);
  outcome.succeeded = request.succeeded;
  outcome.status = request.status;
  outcome.item = request.GetSongInfo();
  return outcome;
}

// A full answer whose "songinfo" members are `songinfo` and whose "bitrate" is `bitrate`.
std::string FullAnswer(const std::string& songinfo, const std::string& bitrate = R"([{}])") {
  return R"({"error_code":22000,"result":{"songinfo":{)" + songinfo + R"(},"bitrate":)" + bitrate +
         "}}";
}

std::wstring Label(const wchar_t* key) {
  return settings::language::LanguageSettings::Instance().GetString(key);
}

TEST(GetSongLinkTest, SongIdFallsBackToTitleAndAuthor) {
  struct Case {
    std::wstring id, title, author;
    std::string songid;
  };
  const Case cases[] = {
      {L"877578", L"Title", L"Artist", "877578"},
      {L"", L"Title", L"Artist", "Title$$Artist"},
      {L"", L"Title", L"", "Title"},
      {L"", L"Simon & Garfunkel", L"a=b+c", "Simon & Garfunkel$$a=b+c"},
      {L"", L"晴天", L"周杰伦", "晴天$$周杰伦"},
  };
  for (const Case& c : cases) {
    GetSongLink request(MakeSong(c.id, c.title, c.author), false, L"", false, L"");
    const Pairs pairs = OwnPairs(request.BuildUrl());
    ASSERT_EQ(pairs.size(), 6u) << c.songid;
    EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"songid", c.songid}));
  }
}

TEST(GetSongLinkTest, FlagsAndTextsInOrder) {
  struct Case {
    bool lebo, down;
    std::wstring bit;
    bool alt_type;
    std::wstring kwtok;
    Pairs expected;
  };
  const Case cases[] = {
      {false,
       false,
       L"",
       false,
       L"",
       {{"songid", "9"}, {"lebo", "0"}, {"down", "0"}, {"bit", ""}, {"type", "1"}, {"kwtok", ""}}},
      {true,
       true,
       L"320",
       true,
       L"t&k=1+",
       {{"songid", "9"},
        {"lebo", "1"},
        {"down", "1"},
        {"bit", "320"},
        {"type", "2"},
        {"kwtok", "t&k=1+"}}},
  };
  for (const Case& c : cases) {
    GetSongLink request(MakeSong(L"9", L"", L"", c.lebo), c.down, c.bit, c.alt_type, c.kwtok);
    EXPECT_EQ(OwnPairs(request.BuildUrl()), c.expected);
    EXPECT_TRUE(request.session_token.empty());
    EXPECT_FALSE(request.encrypt_params);
  }
}

TEST(GetSongLinkTest, TokenTravelsAsParameterNotCookie) {
  ScopedFakeTransport transport;
  GetSongLink request(MakeSong(L"9", L"", L""), false, L"", false, L"secret");
  RunWithAnswer(request, *transport, 200, "{}");
  const auto started = transport->Started();
  ASSERT_EQ(started.size(), 1u);
  for (const auto& [name, value] : started[0].request.headers) {
    EXPECT_STRCASENE(name.c_str(), "cookie") << value;
  }
}

TEST(GetSongLinkTest, RequestWithoutSongFailsWithoutSending) {
  ScopedFakeTransport transport;
  GetSongLink request(nullptr, false, L"", false, L"");
  EXPECT_EQ(RunWithAnswer(request, *transport, 200, "{}"), 1);
  EXPECT_FALSE(request.succeeded);
  EXPECT_TRUE(transport->Started().empty());
}

TEST(GetSongLinkTest, FullAnswerReadsLastFileAndSongData) {
  const Outcome o = Resolve(FullAnswer(
      R"("song_id":"877578","title":"T","author":"A","artist_id":88,"album_title":"AT",
         "album_id":"7","pic_premium":"premium","pic_big":"big","play_type":3,
         "relate_status":1,"all_rate":"128,320,flac","lrclink":"http://l/1.lrc",
         "resource_type":0)",
      R"([{"file_link":"first"},{"file_link":"second"},
          {"file_duration":245,"song_file_id":"1234","file_link":"http://f/x.mp3",
           "show_link":"http://s/x.mp3","file_extension":"mp3","file_bitrate":320,
           "file_size":9800000,"hash":"h","xcode_expire":600,"replay_gain":-3.5,"free":0}])"));
  ASSERT_EQ(o.completions, 1);
  ASSERT_TRUE(o.succeeded);
  const SongUrlItem& item = o.item;
  EXPECT_EQ(item.file_duration, 245);
  EXPECT_EQ(item.song_file_id, L"1234");
  EXPECT_EQ(item.file_link, L"http://f/x.mp3");
  EXPECT_EQ(item.show_link, L"http://s/x.mp3");
  EXPECT_EQ(item.file_extension, L"mp3");
  EXPECT_EQ(item.file_bitrate, 320);
  EXPECT_EQ(item.file_size, 9800000);
  EXPECT_EQ(item.hash, L"h");
  EXPECT_EQ(item.xcode_expire, 600);
  EXPECT_DOUBLE_EQ(item.replay_gain, -3.5);
  EXPECT_FALSE(item.free);
  EXPECT_EQ(item.song_id, L"877578");
  EXPECT_EQ(item.title, L"T");
  EXPECT_EQ(item.author, L"A");
  EXPECT_EQ(item.artist_id, L"88");
  EXPECT_EQ(item.album_title, L"AT");
  EXPECT_EQ(item.album_id, L"7");
  EXPECT_EQ(item.pic_big, L"premium");
  EXPECT_EQ(item.pic_small, L"big");
  EXPECT_EQ(item.play_type, 3);
  EXPECT_TRUE(item.relate_status);
  EXPECT_EQ(item.best_rate, 2);
  EXPECT_EQ(item.lrclink, L"http://l/1.lrc");
  EXPECT_EQ(item.song_source, Label(L"song_source_norda"));
  EXPECT_TRUE(item.buy_url.empty());
  EXPECT_TRUE(item.tips.empty());
}

// Every case has a later member ("lrclink") so that a rate text that stopped the parse would show.
TEST(GetSongLinkTest, BestRateFromRateList) {
  struct Case {
    const char* all_rate;
    int32_t best_rate;
  };
  const Case cases[] = {
      {"", 0},
      {"128, 320 ,flac", 2},
      {"flac,128", 2},
      {"128\\t,\\tflac", 2},  // JSON escapes: tabs around the comma
      {"128,320", 1},
      {"128,256", 0},
      {"128,320,FLAC", 1},
      {"FLAC,320", 1},
      {"FLAC", 0},
      {" flac", 0},
      {"ape,999", 1},
      {"320kbps", 1},
      {"  320", 1},
      {"128,,320", 1},
      {"-320,128", 0},
      {"4294967616", 0},                // 2^32 + 320: outside 32 bits, not 320
      {"99999999999999999999,320", 1},  // beyond any long, skipped
  };
  for (const Case& c : cases) {
    const Outcome o =
        Resolve(FullAnswer(std::string(R"("lrclink":"L","all_rate":")") + c.all_rate + "\""));
    EXPECT_TRUE(o.succeeded) << c.all_rate;
    EXPECT_EQ(o.item.best_rate, c.best_rate) << c.all_rate;
    EXPECT_EQ(o.item.lrclink, L"L") << c.all_rate;
  }
}

TEST(GetSongLinkTest, FileMembers) {
  struct Case {
    const char* file;
    std::wstring song_file_id;
    bool free;
  };
  const Case cases[] = {
      {R"({"song_file_id":"0"})", L"", true},
      {R"({"song_file_id":0,"free":1})", L"", true},
      {R"({"song_file_id":"10","free":0})", L"10", false},
      {R"({"song_file_id":null,"free":null})", L"", true},
  };
  for (const Case& c : cases) {
    const Outcome o = Resolve(FullAnswer("", std::string("[") + c.file + "]"));
    EXPECT_EQ(o.item.song_file_id, c.song_file_id) << c.file;
    EXPECT_EQ(o.item.free, c.free) << c.file;
  }
}

TEST(GetSongLinkTest, PictureChains) {
  struct Case {
    const char* pictures;
    std::wstring pic_big, pic_small;
  };
  const Case cases[] = {
      {R"("pic_huge":"h","pic_premium":"p","pic_big":"b","pic_small":"s")", L"h", L"s"},
      {R"("pic_small":"s")", L"s", L"s"},
      {R"("pic_huge":"h")", L"h", L"h"},
      {R"("pic_huge":"","pic_premium":"p","pic_big":null)", L"p", L"p"},
      {R"("pic_premium":"p","pic_big":"b")", L"p", L"b"},
      {"", L"", L""},
  };
  for (const Case& c : cases) {
    const Outcome o = Resolve(FullAnswer(c.pictures));
    EXPECT_EQ(o.item.pic_big, c.pic_big) << c.pictures;
    EXPECT_EQ(o.item.pic_small, c.pic_small) << c.pictures;
  }
}

TEST(GetSongLinkTest, SongSourceLabel) {
  ASSERT_NE(Label(L"song_source_norda"), Label(L"song_source_net"));
  struct Case {
    const char* songinfo;
    const wchar_t* label;
  };
  const Case cases[] = {
      {"", L"song_source_norda"},
      {R"("resource_type":0)", L"song_source_norda"},
      {R"("resource_type":1)", L"song_source_norda"},
      {R"("resource_type":2)", L"song_source_net"},
      {R"("resource_type":-1)", L"song_source_net"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Resolve(FullAnswer(c.songinfo)).item.song_source, Label(c.label)) << c.songinfo;
  }
}

// A full answer without a playable file gives nothing at all, not even the song data.
TEST(GetSongLinkTest, UnusableAnswerLeavesResultEmpty) {
  const std::string kSong = R"({"song_id":"1","title":"T"})";
  const std::string cases[] = {
      R"({"result":{"songinfo":)" + kSong + "}}",
      R"({"result":{"songinfo":)" + kSong + R"(,"bitrate":[]}})",
      R"({"result":{"songinfo":)" + kSong + R"(,"bitrate":{"file_link":"x"}}})",
      R"({"result":{"songinfo":)" + kSong + R"(,"bitrate":null}})",
      R"({"result":{"songinfo":["1"],"bitrate":[{"file_link":"x"}]}})",
      R"({"result":[{"songinfo":)" + kSong + R"(,"bitrate":[{"file_link":"x"}]}]})",
      R"({"error_code":22469,"result":"buy"})",
      "{}",
  };
  for (const std::string& body : cases) {
    const Outcome o = Resolve(body);
    EXPECT_EQ(o.completions, 1) << body;
    EXPECT_TRUE(o.succeeded) << body;
    EXPECT_TRUE(o.item.song_id.empty()) << body;
    EXPECT_TRUE(o.item.title.empty()) << body;
    EXPECT_TRUE(o.item.file_link.empty()) << body;
    EXPECT_TRUE(o.item.buy_url.empty()) << body;
    EXPECT_TRUE(o.item.song_source.empty()) << body;
    EXPECT_FALSE(o.item.free) << body;
  }
}

TEST(GetSongLinkTest, BuyAnswer) {
  const Outcome o = Resolve(R"({"error_code":22469,"result":{
      "song_id":"5","song_title":"T","author":"A","album_title":"AT","album_pic":"ap",
      "song_pic":"sp","publishtime":"2020-01-01","buy_url":"http://buy/5",
      "resource_type_ext":4,"tips":"ignored","file_link":"ignored","songinfo":{"title":"x"},
      "bitrate":[{"file_link":"ignored"}]}})");
  ASSERT_TRUE(o.succeeded);
  EXPECT_EQ(o.status, 22469);
  EXPECT_EQ(o.item.song_id, L"5");
  EXPECT_EQ(o.item.title, L"T");
  EXPECT_EQ(o.item.author, L"A");
  EXPECT_EQ(o.item.album_title, L"AT");
  EXPECT_EQ(o.item.pic_big, L"ap");
  EXPECT_EQ(o.item.song_pic, L"sp");
  EXPECT_EQ(o.item.publishtime, L"2020-01-01");
  EXPECT_EQ(o.item.buy_url, L"http://buy/5");
  EXPECT_EQ(o.item.resource_type_ext, 4);
  EXPECT_TRUE(o.item.file_link.empty());
  EXPECT_TRUE(o.item.tips.empty());
}

TEST(GetSongLinkTest, RefusalAnswerGivesOnlyTips) {
  const Outcome o = Resolve(R"({"error_code":24003,"result":{
      "tips":"不可播放","song_id":"5","buy_url":"b","songinfo":{"title":"x"},
      "bitrate":[{"file_link":"f"}]}})");
  ASSERT_TRUE(o.succeeded);
  EXPECT_EQ(o.status, 24003);
  EXPECT_EQ(o.item.tips, L"不可播放");
  EXPECT_TRUE(o.item.song_id.empty());
  EXPECT_TRUE(o.item.buy_url.empty());
  EXPECT_TRUE(o.item.title.empty());
  EXPECT_TRUE(o.item.file_link.empty());
}

}  // namespace
}  // namespace lumoapi::song
