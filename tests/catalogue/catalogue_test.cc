// What the catalogue, radio and cloud requests make of their answers (song links, search, artist
// pictures, recommendations, the splash picture, radio batches, uploads), hostile shapes
// included, and what of their addresses the parameters test cannot show.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "base/string_utils.h"
#include "lumoapi/artist/get_artist_info.h"
#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
#include "lumoapi/encryption.h"
#include "lumoapi/radio/get_private_radio_songs.h"
#include "lumoapi/radio/get_public_radio_songs.h"
#include "lumoapi/radio/get_scene_songs.h"
#include "lumoapi/radio/radio_play_action.h"
#include "lumoapi/recommend/get_recommend_songs.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/search/lrcpic.h"
#include "lumoapi/search/search_merge.h"
#include "lumoapi/song/get_song_link.h"
#include "lumoapi/splash/get_splash_pic.h"
#include "settings/language_settings.h"
#include "settings/user_account_settings.h"
#include "support/answered.h"
#include "utilities/song_info.h"

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using lt::Answered;
using Ids = std::vector<std::wstring>;

// --- Song links ---------------------------------------------------------------------------------

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
                item.album_title + L"|" + item.album_id + L"|" + item.lrclink + L"|" +
                item.pic_big + L"|" + item.pic_small,
            L"8|T|A|88|AT|7|L|premium|big");
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

// What each kind of answer fills: song data, pictures, buy data, the link and the tips. A
// "result" of another type reads as nothing by the shared member reader, shown here once.
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

// --- Search -------------------------------------------------------------------------------------

using search::Lrcpic;

// Each list is read on its own; entries are kept as sent, gaps and repeats included.
TEST(CatalogSugTest, ReadsEachList) {
  const std::pair<const char*, std::wstring> cases[] = {
      {R"({"song":[{"songid":"1","songname":"S1","artistname":"A1"},{"songid":2,"songname":"S2"}],
          "artist":[{"artistid":"9","artistname":"A9","artistpic":"p9"}],
          "album":[{"albumid":"5","albumname":"L5","artistname":"A9","artistpic":"p9"}]})",
       L"S[1|S1|A1]S[2|S2|]A[9|A9|p9]L[5|L5|A9|p9]"},
      {R"({"album":[{"albumid":"1","albumname":"X"},{"albumid":"1","albumname":"X"}]})",
       L"L[1|X||]L[1|X||]"},
      {R"({"song":{"songid":"1"},"artist":[{"artistid":"2"}],"album":null})", L"A[2||]"},
      {R"({"result":{"song":[{"songid":"1"}]}})", L""},
  };
  for (const auto& [body, expected] : cases) {
    const auto request = Answered<search::CatalogSug>(body, L"q");
    EXPECT_TRUE(request->succeeded) << body;
    std::wstring text;
    for (const auto& s : request->songs) {
      text += L"S[" + s.songid + L"|" + s.songname + L"|" + s.artistname + L"]";
    }
    for (const auto& a : request->artists) {
      text += L"A[" + a.artistid + L"|" + a.artistname + L"|" + a.artistpic + L"]";
    }
    for (const auto& l : request->albums) {
      text +=
          L"L[" + l.albumid + L"|" + l.albumname + L"|" + l.artistname + L"|" + l.artistpic + L"]";
    }
    EXPECT_EQ(text, expected) << body;
  }
}

TEST(SearchMergeTest, TakesFirstArtist) {
  const std::pair<const char*, std::wstring> cases[] = {
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":"7"},{"artist_id":"8"}]}}})", L"7"},
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":42}]}}})", L"42"},
      {R"({"result":{"artist_info":{"artist_list":[{"name":"x"},{"artist_id":"8"}]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":[]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":{"artist_id":"7"}}}})", L""},
  };
  for (const auto& [body, artist_id] : cases) {
    const auto request = Answered<search::SearchMerge>(body, L"q");
    EXPECT_TRUE(request->succeeded) << body;
    EXPECT_EQ(request->artist_id, artist_id) << body;
  }
}

using Type = Lrcpic::LrcpicRequestTypeEnum;

class LrcpicParams : public Lrcpic {
 public:
  using Lrcpic::BuildParams;
  using Lrcpic::Lrcpic;
};

// query1, query2, type, drop_empty_first, then the "query" and "type" texts as sent.
TEST(LrcpicTest, PlainPartThenItsEncryptedCopy) {
  const std::tuple<std::wstring, std::wstring, Type, bool, std::wstring, std::wstring> cases[] = {
      {L"T", L"A", Lrcpic::kSingleSong, true, L"T$$A", L"1"},
      {L"", L"A", Lrcpic::kSongList, true, L"A", L"2"},
      {L"", L"A", Lrcpic::kSongList, false, L"$$A", L"2"},
      {L"T", L"", Lrcpic::kSongList, true, L"T$$", L"2"},
      {L"a&b c", L"x=y+z/晴", static_cast<Type>(7), false, L"a%26b%20c$$x%3Dy%2Bz%2F%E6%99%B4",
       L"7"},
  };
  const std::wregex kShape(L"query=([^&]*)&ts=[0-9]+&type=([0-9]+)&e=(.+)");
  for (const auto& [query1, query2, type, drop, query, type_text] : cases) {
    const std::wstring text = LrcpicParams(query1, query2, type, drop).BuildParams();
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(text, match, kShape)) << text;
    EXPECT_EQ(match[1].str(), query) << text;
    EXPECT_EQ(match[2].str(), type_text) << text;
    EXPECT_EQ(match[3].str(), encryption::LumoAPIEncryption::Instance().EncryptText(
                                  text.substr(0, text.find(L"&e="))))
        << text;
  }
}

// One "[...]" per item with its nine fields joined by "|".
TEST(LrcpicTest, SingleSongOrList) {
  const std::tuple<Type, const char*, std::wstring> cases[] = {
      {Lrcpic::kSingleSong,
       R"({"songinfo":{"song_id":1,"song_title":"T","author":"A","artist_id":"x","lrclink":"l",
           "pic_radio":"r","pic_s180":"x","avatar_s500":"x"}})",
       L"[1|T|A||l||r||]"},
      {Lrcpic::kSingleSong, R"({"songinfo":{}})", L"[||||||||]"},
      {Lrcpic::kSongList,
       R"({"songinfo":[{"song_id":"1","song_title":"T","author":"A","artist_id":"9",
           "lrclink":"l","pic_s500":"p5","pic_s180":"p1","avatar_s500":"a5",
           "avatar_s180":"a1","pic_radio":"x"},{"song_id":"2"}]})",
       L"[1|T|A|9|l|p5|p1|a5|a1][2||||||||]"},
      {Lrcpic::kSongList, R"({"songinfo":{"song_id":"1"}})", L""},
  };
  for (const auto& [type, body, expected] : cases) {
    const auto request = Answered<Lrcpic>(body, L"a", L"b", type, false);
    EXPECT_TRUE(request->succeeded) << body;
    std::wstring text;
    for (const auto& i : request->items) {
      text += L"[" + i.song_id + L"|" + i.song_title + L"|" + i.author + L"|" + i.artist_id + L"|" +
              i.lrclink + L"|" + i.pic_s500 + L"|" + i.pic_s180 + L"|" + i.avatar_s500 + L"|" +
              i.avatar_s180 + L"]";
    }
    EXPECT_EQ(text, expected) << body;
  }
}

// --- Artist pictures, recommendations, the splash picture ---------------------------------------

TEST(GetArtistInfoTest, PictureListElseAvatar) {
  const std::pair<const char*, std::vector<std::wstring>> cases[] = {
      {R"({"pic_list":[{"url":"a"},{"size":1},{"url":"c"}],"avatar_s1000":"v"})",
       {L"a", L"", L"c"}},
      {R"({"pic_list":[],"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":{"url":"a"},"avatar_s1000":"v"})", {L"v"}},
      {R"({"pic_list":null,"avatar_s1000":""})", {}},
  };
  for (const auto& [body, pics] : cases) {
    const auto request = Answered<artist::GetArtistInfo>(body, L"1");
    EXPECT_TRUE(request->succeeded) << body;
    EXPECT_EQ(request->pics, pics) << body;
  }
}

// One "[...]" per record: ids, texts, large and small picture, "mv", kind.
TEST(GetRecommendSongsTest, RecordsForEntriesWithSongId) {
  const std::pair<const char*, std::wstring> cases[] = {
      {R"({"result":{"list":[
          {"song_id":"1","title":"T","author":"A","artist_id":9,"album_title":"AT",
           "album_id":"5","pic_huge":"h","pic_small":"s","has_mv":1},
          {"song_id":"0","title":"skipped"},
          {"song_id":3,"pic_big":"b"}]}})",
       L"[1|T|A|9|AT|5|h|s|mv|2][3||||||b|b||2]"},
      {R"({"result":{"list":[{"title":"x"},{"song_id":""},{"song_id":0},{"song_id":null}]}})", L""},
      {R"({"result":{"list":{"song_id":"1"}}})", L""},
  };
  for (const auto& [body, expected] : cases) {
    const auto request = Answered<recommend::GetRecommendSongs>(body, L"1");
    EXPECT_TRUE(request->succeeded) << body;
    std::wstring text;
    for (const auto& s : request->songs) {
      text += L"[" + s->song_id + L"|" + s->title + L"|" + s->author + L"|" + s->artist_id + L"|" +
              s->album_title + L"|" + s->album_id + L"|" + s->pic_big + L"|" + s->pic_small +
              (s->has_mv ? L"|mv|" : L"||") + std::to_wstring(s->item_kind) + L"]";
    }
    EXPECT_EQ(text, expected) << body;
  }
}

// A refused answer, or a first entry without a picture, fails.
TEST(GetSplashPicTest, FirstPictureOrFailure) {
  struct Case {
    const char* body;
    bool succeeded;
    int32_t status;
    std::wstring pic;
  };
  const Case cases[] = {
      {R"({"result":[{"pic":"A"},{"pic":"B"}]})", true, 22000, L"A"},
      {R"({"result":{"pic":"A"}})", true, 22000, L""},
      {R"({"result":[]})", true, 22000, L""},
      {R"({"error_code":24003,"result":[{"pic":"A"}]})", false, 24003, L""},
      {R"({"result":[{"url":"A"},{"pic":"B"}]})", false, 22000, L""},
  };
  for (const Case& c : cases) {
    const auto request = Answered<splash::GetSplashPic>(c.body);
    EXPECT_EQ(request->succeeded, c.succeeded) << c.body;
    EXPECT_EQ(request->status, c.status) << c.body;
    EXPECT_EQ(request->pic, c.pic) << c.body;
  }
}

// --- Radio --------------------------------------------------------------------------------------

using radio::GetPrivateRadioSongs;
using radio::GetPublicRadioSongs;
using radio::GetSceneSongs;
using radio::RadioPlayAction;

// The public and scene radios read the account token anew for every address.
TEST(RadioTest, PublicRadiosReadTheAccountTokenForEveryAddress) {
  auto& account = settings::user::UserAccountSettings::Instance();
  const std::wstring saved = account._GetKwtok();
  GetPublicRadioSongs public_songs(L"Jazz");
  GetSceneSongs scene(L"42");
  for (const wchar_t* token : {L"acct", L"new"}) {
    account.SetKwtok(token);
    const std::string expected = base::string_utils::ToUtf8(token);
    EXPECT_EQ(lt::ValueOf(lt::OwnPairs(public_songs.BuildUrl()), "kwtok"), expected);
    EXPECT_EQ(lt::ValueOf(lt::OwnPairs(scene.BuildUrl()), "kwtok"), expected);
  }
  account.SetKwtok(saved);
}

// Without a token the play action sends no kwtok pair (the parameters test has one with it).
TEST(RadioTest, PlayActionLeavesOutAnEmptyToken) {
  RadioPlayAction action(L"");
  for (const auto& [name, value] : lt::OwnPairs(action.BuildUrl())) EXPECT_NE(name, "kwtok");
}

// [{key:"1"}, ..., {key:"n"}]
std::string List(const std::string& key, int n) {
  std::string list = "[";
  for (int i = 1; i <= n; ++i) {
    list += (i > 1 ? ",{\"" : "{\"") + key + "\":\"" + std::to_string(i) + "\"}";
  }
  return list + "]";
}

Ids Numbered(int first, int last) {
  Ids ids;
  for (int i = first; i <= last; ++i) ids.push_back(std::to_wstring(i));
  return ids;
}

// Runs `request` `runs` times, each answered with `body`; returns the ids it then holds.
template <class Request>
Ids IdsAfter(Request&& request, const std::string& body, int runs = 1) {
  lt::ScopedFakeTransport transport;
  for (int i = 0; i < runs; ++i) EXPECT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
  EXPECT_TRUE(request.succeeded) << body;
  return request.song_ids;
}

TEST(RadioTest, ReadsSongIds) {
  const std::string mixed = R"([{"songid":"1","song_id":"9"},{"songid":2},{}])";
  const std::string songlist = R"({"result":{"songlist":)";

  EXPECT_EQ(IdsAfter(GetPublicRadioSongs(L"p"), songlist + mixed + "}}"), (Ids{L"1", L"2", L""}));
  EXPECT_EQ(IdsAfter(GetSceneSongs(L"s"), songlist + mixed + "}}"), (Ids{L"9", L"", L""}));
  EXPECT_EQ(IdsAfter(GetPublicRadioSongs(L"p"), songlist + List("songid", 3) + "}}", 2),
            (Ids{L"1", L"2", L"3", L"1", L"2", L"3"}));

  // The personal radio's list is at the top level, and it keeps at most 10 ids in all.
  EXPECT_EQ(
      IdsAfter(GetPrivateRadioSongs(L"u", L"t"), R"({"songinfo":)" + List("song_id", 25) + "}"),
      Numbered(1, 10));
  Ids six_then_four = Numbered(1, 6);
  six_then_four.insert(six_then_four.end(), {L"1", L"2", L"3", L"4"});
  EXPECT_EQ(
      IdsAfter(GetPrivateRadioSongs(L"u", L"t"), R"({"songinfo":)" + List("song_id", 6) + "}", 2),
      six_then_four);
  EXPECT_EQ(IdsAfter(GetPrivateRadioSongs(L"u", L"t"),
                     R"({"result":{"songinfo":)" + List("song_id", 3) + "}}"),
            Ids{});
}

// --- Cloud storage: unsigned numbers, the file description a record sends, the answers' edge
// cases (the upload runs end to end in the integration tests) --------------------------------

using cloud::CheckFile;
using cloud::Record;
using cloud::Signature;

TEST(CloudTest, CheckFileReadsEveryAnswerAndDropsSongIdZero) {
  const auto full =
      Answered<CheckFile>(R"({"result":{"song_id":"123","file_link":"http://l/f","object":"o/k",)"
                          R"("host":"h","time":1700000000,"file_size":5242880,"bucket":"b"}})",
                          L"cmd5", L"smd5", L"mp3", 1, 2);
  EXPECT_EQ(std::tie(full->song_id, full->file_link, full->object, full->host, full->time,
                     full->file_size, full->bucket),
            std::make_tuple(L"123", L"http://l/f", L"o/k", L"h", 1700000000u, 5242880u, L"b"));
  struct Case {
    std::string body;
    int32_t status;
    std::wstring song_id;
  };
  const Case cases[] = {
      {R"({"result":{"song_id":"0"}})", 22000, L""},
      {R"({"error_code":22001,"result":{"song_id":"5"}})", 22001, L"5"},
  };
  for (const Case& c : cases) {
    const auto request = Answered<CheckFile>(c.body, L"cmd5", L"smd5", L"mp3", 1, 2);
    EXPECT_TRUE(request->succeeded) << c.body;
    EXPECT_EQ(std::tie(request->status, request->song_id), std::tie(c.status, c.song_id));
  }
}

TEST(CloudTest, SignatureReadsWhatTheAnswerHas) {
  struct Case {
    std::string body;
    bool succeeded;
    std::wstring host;
    uint64_t content_length;
  };
  const Case cases[] = {
      {R"({"result":{"Host":"h"}})", true, L"h", 0},
      {R"({"error_code":22001,"result":{"Host":"h"}})", false, L"", 1234},
  };
  for (const Case& c : cases) {
    const auto request = Answered<Signature>(c.body, L"o", 1234, L"cmd5");
    EXPECT_EQ(request->succeeded, c.succeeded) << c.body;
    EXPECT_EQ(std::tie(request->host, request->content_length, request->authorization),
              std::tie(c.host, c.content_length, L""));
  }
}

struct File {
  std::wstring path;
  uint32_t duration_ms;
  int32_t bitrate;
  uint64_t size;
};

std::shared_ptr<utilities::SongInfo> MakeSong(const std::vector<File>& files) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = L"s1";
  song->title = L"Title";
  for (const File& f : files) {
    song->files.push_back(std::make_shared<utilities::SongFile>(
        utilities::SongFile{f.path, f.size, f.duration_ms, f.bitrate}));
  }
  return song;
}

// The file's name from a path with both separators and dotted folders, whole seconds rounded
// down, and a negative bit rate as unsigned; the song is read once, when the request is made.
// (The parameters test has the plain case.)
TEST(CloudTest, RecordDescribesTheSongsFirstFile) {
  auto song = MakeSong({{L"C:/dir.v2\\My Song.ogg", 1999, -1, 7}, {L"D:\\x.wav", 60000, 9, 99}});
  Record request(L"t", L"m", L"l", song);
  song->title = L"Changed";
  song->files.front()->path = L"D:\\other.wav";
  const lt::Pairs sent = lt::OwnPairs(request.BuildUrl());
  std::string described;
  for (const char* name :
       {"song_title", "file_name", "file_bitrate", "file_duartion", "file_size", "ext"}) {
    described += lt::ValueOf(sent, name) + "|";
  }
  EXPECT_EQ(described, "Title|My Song|4294967295|1|7|ogg|");
}

TEST(CloudTest, RecordWithoutAnExtensionSendsNothingAndFails) {
  const std::vector<File> cases[] = {
      {},
      {{L"D:\\Music.d\\noext", 1000, 320, 1}, {L"D:\\b.mp3", 1000, 320, 1}},
  };
  for (const auto& files : cases) {
    lt::ScopedFakeTransport transport;
    Record request(L"tok", L"md5x", L"link", MakeSong(files));
    EXPECT_EQ(lt::RunWithAnswer(request, *transport, 200, "{}"), 1);
    EXPECT_TRUE(transport->Started().empty());
    EXPECT_EQ(std::make_tuple(request.finished.load(), request.succeeded, request.status),
              std::make_tuple(true, false, 0));
  }
}

TEST(CloudTest, RecordDropsSongIdZero) {
  const auto request = Answered<Record>(R"({"result":{"song_id":"0"}})", L"tok", L"md5x", L"link",
                                        MakeSong({{L"a.mp3", 1000, 320, 1}}));
  EXPECT_TRUE(request->succeeded);
  EXPECT_EQ(request->song_id, L"");
}

}  // namespace
}  // namespace lumoapi
