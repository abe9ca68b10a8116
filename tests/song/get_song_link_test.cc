#include "lumoapi/song/get_song_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "settings/language_settings.h"
#include "support/request_harness.h"

namespace lumoapi::song {
namespace {

namespace lt = lumo::testing;

std::shared_ptr<utilities::SongInfo> MakeSong(std::wstring id, std::wstring title,
                                              std::wstring author, bool lebo = false) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = std::move(id);
  song->title = std::move(title);
  song->author = std::move(author);
  song->lebo = lebo;
  return song;
}

std::unique_ptr<GetSongLink> Resolve(const std::string& body) {
  lt::ScopedFakeTransport transport;
  auto request = std::make_unique<GetSongLink>(MakeSong(L"1", L"", L""), false, L"", false, L"");
  EXPECT_EQ(lt::RunWithAnswer(*request, *transport, 200, body), 1) << body;
  return request;
}

// A full answer with these "songinfo" members and this "bitrate" list.
std::string FullAnswer(const std::string& songinfo, const std::string& bitrate = "[{}]") {
  return R"({"result":{"songinfo":{)" + songinfo + R"(},"bitrate":)" + bitrate + "}}";
}

std::wstring Label(const wchar_t* key) {
  return settings::language::LanguageSettings::Instance().GetString(key);
}

// The parameters test has the song by id and by title and author; here a title alone, and lebo.
TEST(GetSongLinkTest, TitleAloneAndLebo) {
  GetSongLink request(MakeSong(L"", L"晴天 & Co", L"", true), false, L"", false, L"");
  EXPECT_TRUE(request.session_token.empty());  // the token is a parameter, never the cookie
  const lt::Pairs sent = lt::OwnPairs(request.BuildUrl());
  EXPECT_EQ(lt::ValueOf(sent, "songid") + "|" + lt::ValueOf(sent, "lebo"), "晴天 & Co|1");
}

TEST(GetSongLinkTest, RequestWithoutSongFailsWithoutSending) {
  lt::ScopedFakeTransport transport;
  GetSongLink request(nullptr, false, L"", false, L"");
  EXPECT_EQ(lt::RunWithAnswer(request, *transport, 200, "{}"), 1);
  EXPECT_FALSE(request.succeeded);
  EXPECT_TRUE(transport->Started().empty());
}

TEST(GetSongLinkTest, FullAnswerUsesLastFile) {
  const auto request = Resolve(FullAnswer(
      R"("song_id":"8","title":"T","author":"A","artist_id":88,"album_title":"AT",
         "album_id":"7","pic_premium":"premium","pic_big":"big","play_type":3,
         "relate_status":1,"all_rate":"128,320,flac","lrclink":"L","resource_type":2)",
      R"([{"file_link":"first"},{"file_link":"second"},
          {"file_duration":245,"song_file_id":"1234","file_link":"F","show_link":"S",
           "file_extension":"mp3","file_bitrate":320,"file_size":9800000,"hash":"h",
           "xcode_expire":600,"replay_gain":-3.5,"free":0}])"));
  ASSERT_TRUE(request->succeeded);
  const GetSongLink::SongUrlItem item = request->GetSongInfo();
  EXPECT_EQ(std::to_wstring(item.file_duration) + L"|" + item.song_file_id + L"|" + item.file_link +
                L"|" + item.show_link + L"|" + item.file_extension + L"|" +
                std::to_wstring(item.file_bitrate) + L"|" + std::to_wstring(item.file_size) + L"|" +
                item.hash + L"|" + std::to_wstring(item.xcode_expire),
            L"245|1234|F|S|mp3|320|9800000|h|600");
  EXPECT_DOUBLE_EQ(item.replay_gain, -3.5);
  EXPECT_FALSE(item.free);
  EXPECT_EQ(item.song_id + L"|" + item.title + L"|" + item.author + L"|" + item.artist_id + L"|" +
                item.album_title + L"|" + item.album_id + L"|" + item.lrclink,
            L"8|T|A|88|AT|7|L");
  EXPECT_EQ(item.pic_big, L"premium");
  EXPECT_EQ(item.pic_small, L"big");
  EXPECT_EQ(item.play_type, 3);
  EXPECT_TRUE(item.relate_status);
  EXPECT_EQ(item.best_rate, 2);
  EXPECT_EQ(item.song_source, Label(L"song_source_net"));
}

// Each rate text is followed by "lrclink", so a rate text that stopped the parse would show.
TEST(GetSongLinkTest, BestRate) {
  const std::pair<const char*, int32_t> cases[] = {
      {"", 0},           {"128, 320 ,flac", 2}, {"flac,128", 2},     {"128\\t,\\tflac", 2},
      {"128,320", 1},    {"128,256", 0},        {"128,320,FLAC", 1}, {"FLAC,320", 1},
      {" flac", 0},      {"ape,,999", 1},       {"320kbps", 1},      {"-320,128", 0},
      {"4294967616", 0},  // 2^32 + 320 does not fit in 32 bits and is skipped, not wrapped
  };
  for (const auto& [all_rate, best_rate] : cases) {
    const auto request =
        Resolve(FullAnswer(R"("all_rate":")" + std::string(all_rate) + R"(","lrclink":"L")"));
    EXPECT_TRUE(request->succeeded) << all_rate;
    EXPECT_EQ(request->item.best_rate, best_rate) << all_rate;
    EXPECT_EQ(request->item.lrclink, L"L") << all_rate;
  }
}

TEST(GetSongLinkTest, DefaultsAndFallbacks) {
  struct Case {
    const char *songinfo, *file;
    std::wstring song_file_id, pic_big, pic_small;
    bool free;
    const wchar_t* label;
  };
  const Case cases[] = {
      {"", "{}", L"", L"", L"", true, L"song_source_norda"},
      {R"("pic_small":"s","resource_type":1)", R"({"song_file_id":"0"})", L"", L"s", L"s", true,
       L"song_source_norda"},
      {R"("pic_huge":"h","pic_big":null,"resource_type":0)", R"({"song_file_id":0,"free":null})",
       L"", L"h", L"h", true, L"song_source_norda"},
      {R"("pic_huge":"","pic_big":"b","resource_type":-1)", R"({"song_file_id":10,"free":2})",
       L"10", L"b", L"b", true, L"song_source_net"},
  };
  ASSERT_NE(Label(L"song_source_norda"), Label(L"song_source_net"));
  for (const Case& c : cases) {
    const auto request = Resolve(FullAnswer(c.songinfo, std::string("[") + c.file + "]"));
    const GetSongLink::SongUrlItem& item = request->item;
    EXPECT_EQ(item.song_file_id, c.song_file_id) << c.file;
    EXPECT_EQ(item.free, c.free) << c.file;
    EXPECT_EQ(item.pic_big, c.pic_big) << c.songinfo;
    EXPECT_EQ(item.pic_small, c.pic_small) << c.songinfo;
    EXPECT_EQ(item.song_source, Label(c.label)) << c.songinfo;
  }
}

// What each kind of answer fills: song data, pictures, buy data, the link and the tips.
TEST(GetSongLinkTest, AnswerKinds) {
  const std::string kSong = R"({"song_id":"1","title":"T"})";
  const std::string kFile = R"([{"file_link":"F"}])";
  const std::pair<std::string, std::wstring> cases[] = {
      {FullAnswer(R"("song_id":"1","title":"T")", kFile), L"1|T|||||||0|F|"},
      {R"({"error_code":22469,"result":{"song_id":"5","song_title":"T","author":"A",
          "album_title":"AT","album_pic":"ap","song_pic":"sp","publishtime":"2020",
          "buy_url":"B","resource_type_ext":4,"tips":"x","songinfo":{},"bitrate":[{}]}})",
       L"5|T|A|AT|ap|sp|2020|B|4||"},
      {R"({"error_code":24003,"result":{"tips":"不可播放","song_id":"5","buy_url":"B",
          "songinfo":{"title":"x"},"bitrate":[{"file_link":"F"}]}})",
       L"||||||||0||不可播放"},
      {R"({"result":{"songinfo":)" + kSong + "}}", L"||||||||0||"},
      {R"({"result":{"songinfo":)" + kSong + R"(,"bitrate":[]}})", L"||||||||0||"},
      {R"({"result":{"songinfo":)" + kSong + R"(,"bitrate":{"file_link":"F"}}})", L"||||||||0||"},
      {R"({"result":{"songinfo":["1"],"bitrate":)" + kFile + "}}", L"||||||||0||"},
      {R"({"result":[{"songinfo":)" + kSong + R"(,"bitrate":)" + kFile + "}]}", L"||||||||0||"},
      {R"({"error_code":22469,"result":"buy"})", L"||||||||0||"},
  };
  for (const auto& [body, expected] : cases) {
    const auto request = Resolve(body);
    EXPECT_TRUE(request->succeeded) << body;
    const GetSongLink::SongUrlItem& i = request->item;
    EXPECT_EQ(i.song_id + L"|" + i.title + L"|" + i.author + L"|" + i.album_title + L"|" +
                  i.pic_big + L"|" + i.song_pic + L"|" + i.publishtime + L"|" + i.buy_url + L"|" +
                  std::to_wstring(i.resource_type_ext) + L"|" + i.file_link + L"|" + i.tips,
              expected)
        << body;
  }
}

}  // namespace
}  // namespace lumoapi::song
