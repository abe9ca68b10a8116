#include "lumoapi/search/lrcpic.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>

#include "lumoapi/encryption.h"
#include "support/request_harness.h"

namespace lumoapi::search {
namespace {

namespace lt = lumo::testing;
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
    std::wsmatch parts;
    ASSERT_TRUE(std::regex_match(text, parts, kShape)) << text;
    EXPECT_EQ(parts[1].str(), query) << text;
    EXPECT_EQ(parts[2].str(), type_text) << text;
    EXPECT_EQ(parts[3].str(), encryption::LumoAPIEncryption::Instance().EncryptText(
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
    lt::ScopedFakeTransport transport;
    Lrcpic request(L"a", L"b", type, false);
    ASSERT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
    EXPECT_TRUE(request.succeeded) << body;
    std::wstring text;
    for (const auto& i : request.items) {
      text += L"[" + i.song_id + L"|" + i.song_title + L"|" + i.author + L"|" + i.artist_id + L"|" +
              i.lrclink + L"|" + i.pic_s500 + L"|" + i.pic_s180 + L"|" + i.avatar_s500 + L"|" +
              i.avatar_s180 + L"]";
    }
    EXPECT_EQ(text, expected) << body;
  }
}

}  // namespace
}  // namespace lumoapi::search
