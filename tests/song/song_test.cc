// What the song-link request makes of its answers: every field of its record from its own key, the
// best rate, the defaults and fallbacks, and the shapes it does not read.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lumoapi/song/get_song_link.h"
#include "settings/language_settings.h"
#include "support/answered.h"
#include "support/record_fields.h"
#include "utilities/song_info.h"

namespace lumo::testing {

using SongUrlItem = lumoapi::song::GetSongLink::SongUrlItem;

LUMO_FIELDS_OF(SongUrlItem, LUMO_FIELD(file_duration), LUMO_FIELD(song_id),
               LUMO_FIELD(song_file_id), LUMO_FIELD(title), LUMO_FIELD(author),
               LUMO_FIELD(artist_id), LUMO_FIELD(album_title), LUMO_FIELD(album_id),
               LUMO_FIELD(relate_status), LUMO_FIELD(file_link), LUMO_FIELD(show_link),
               LUMO_FIELD(lrclink), LUMO_FIELD(file_extension), LUMO_FIELD(pic_big),
               LUMO_FIELD(pic_small), LUMO_FIELD(file_bitrate), LUMO_FIELD(file_size),
               LUMO_FIELD(hash), LUMO_FIELD(xcode_expire), LUMO_FIELD(best_rate),
               LUMO_FIELD(song_source), LUMO_FIELD(replay_gain), LUMO_FIELD(play_type),
               LUMO_FIELD(free), LUMO_FIELD(resource_type_ext), LUMO_FIELD(buy_url),
               LUMO_FIELD(song_pic), LUMO_FIELD(publishtime), LUMO_FIELD(tips))

}  // namespace lumo::testing

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using lt::Answered;
using lt::Describe;
using lt::ExpectRecord;
using lt::Is;
using lt::Joined;
using lt::RecordRow;
using lt::TheOne;

using song::GetSongLink;

std::shared_ptr<utilities::SongInfo> SongWithId(std::wstring id) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = std::move(id);
  return song;
}

std::unique_ptr<GetSongLink> Resolve(const std::string& body) {
  return Answered<GetSongLink>(body, SongWithId(L"1"), false, L"", false, L"");
}

// A full answer with these "songinfo" members and this "bitrate" list.
std::string FullAnswer(const std::string& songinfo, const std::string& bitrate = "[{}]") {
  return R"({"result":{"songinfo":{)" + songinfo + R"(},"bitrate":)" + bitrate + "}}";
}

std::wstring Label(const wchar_t* key) {
  return settings::language::LanguageSettings::Instance().GetString(key);
}

TEST(RecordReadersTest, SongLinkFieldsFromTheirOwnKeys) {
  // Where one reader's answer could carry another reader's keys, it does ("x"), so that a reader
  // that takes one of them shows.
  const std::string song_link =
      R"({"result":{"tips":"x","buy_url":"x","song_pic":"x","publishtime":"x",
          "resource_type_ext":9,"songinfo":{"song_id":"id-1","title":"title-2",
          "author":"author-3","artist_id":"artist-4","album_title":"album-5",
          "album_id":"album-id-6","pic_huge":"huge-7","pic_premium":"x","pic_big":"x",
          "pic_small":"small-8","play_type":105,"relate_status":1,"all_rate":"128,flac",
          "lrclink":"lrc-9","resource_type":2,"song_title":"x","album_pic":"x"},
          "bitrate":[{"file_link":"not the last"},{"file_duration":101,
          "song_file_id":"file-10","file_link":"link-11","show_link":"show-12",
          "file_extension":"ext-13","file_bitrate":102,"file_size":103,"hash":"hash-14",
          "xcode_expire":104,"replay_gain":-3.5,"free":0}]}})";
  const std::string song_to_buy =
      R"({"error_code":22469,"result":{"song_id":"id-21","song_title":"title-22",
          "author":"author-23","album_title":"album-24","album_pic":"album-pic-25",
          "song_pic":"song-pic-26","publishtime":"time-27","buy_url":"buy-28",
          "resource_type_ext":109,"tips":"x","title":"x","pic_big":"x",
          "songinfo":{"song_id":"x"},"bitrate":[{"file_link":"x"}]}})";
  const std::string blocked_song =
      R"({"error_code":24003,"result":{"tips":"tips-31","song_id":"x","buy_url":"x",
          "songinfo":{"title":"x"},"bitrate":[{"file_link":"x"}]}})";

  const std::wstring found_on_the_net = Label(L"song_source_net");
  const RecordRow rows[] = {
      {"song link", Describe(Resolve(song_link)->item),
       Joined(
           {Is("file_duration", 101), Is("song_file_id", L"file-10"), Is("file_link", L"link-11"),
            Is("show_link", L"show-12"), Is("file_extension", L"ext-13"), Is("file_bitrate", 102),
            Is("file_size", 103), Is("hash", L"hash-14"), Is("xcode_expire", 104),
            Is("replay_gain", -3.5), Is("free", false)},
           {Is("song_id", L"id-1"), Is("title", L"title-2"), Is("author", L"author-3"),
            Is("artist_id", L"artist-4"), Is("album_title", L"album-5"),
            Is("album_id", L"album-id-6"), Is("relate_status", true), Is("lrclink", L"lrc-9"),
            Is("pic_big", L"huge-7"), Is("pic_small", L"small-8"), Is("best_rate", 2),
            Is("song_source", found_on_the_net), Is("play_type", 105)})},
      {"song link of a song to buy",
       Describe(Resolve(song_to_buy)->item),
       {Is("song_id", L"id-21"), Is("title", L"title-22"), Is("author", L"author-23"),
        Is("album_title", L"album-24"), Is("pic_big", L"album-pic-25"),
        Is("resource_type_ext", 109), Is("buy_url", L"buy-28"), Is("song_pic", L"song-pic-26"),
        Is("publishtime", L"time-27")}},
      {"song link of a blocked song",
       Describe(Resolve(blocked_song)->item),
       {Is("tips", L"tips-31")}},
  };
  for (const RecordRow& row : rows) ExpectRecord(row);
}

TEST(GetSongLinkTest, RequestWithoutSongFailsWithoutSending) {
  lt::ScopedFakeTransport transport;
  GetSongLink request(nullptr, false, L"", false, L"");
  EXPECT_EQ(lt::RunWithAnswer(request, *transport, 200, "{}"), 1);
  EXPECT_FALSE(request.succeeded);
  EXPECT_TRUE(transport->Started().empty());
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

// Answers of shapes the readers do not take leave the record as it was made. A "result" of another
// type reads as nothing by the shared member reader, shown here once.
TEST(GetSongLinkTest, ShapesThatReadNothing) {
  const std::string kSong = R"({"song_id":"1","title":"T"})";
  const std::string kFile = R"([{"file_link":"F"}])";
  const std::string bodies[] = {
      R"({"result":{"songinfo":)" + kSong + "}}",
      R"({"result":{"songinfo":)" + kSong + R"(,"bitrate":[]}})",
      R"({"result":{"songinfo":)" + kSong + R"(,"bitrate":{"file_link":"F"}}})",
      R"({"result":{"songinfo":["1"],"bitrate":)" + kFile + "}}",
      R"({"result":[{"songinfo":)" + kSong + R"(,"bitrate":)" + kFile + "}]}",
      R"({"error_code":22469,"result":"buy"})",
  };
  for (const std::string& body : bodies) {
    const auto request = Resolve(body);
    EXPECT_TRUE(request->succeeded) << body;
    ExpectRecord({body.c_str(), Describe(request->item), {}});
  }
}

}  // namespace
}  // namespace lumoapi
