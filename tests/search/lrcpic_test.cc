#include "lumoapi/search/lrcpic.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "lumoapi/encryption.h"
#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace lumoapi::search {
namespace {

using lumo::testing::OwnPairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;

class LrcpicParams : public Lrcpic {
 public:
  using Lrcpic::BuildParams;
  using Lrcpic::Lrcpic;
};

// One "[...]" per item with its nine fields joined by "|".
std::wstring Summary(const std::vector<Lrcpic::LrcpicItem>& items) {
  std::wstring text;
  for (const auto& i : items) {
    text += L"[" + i.song_id + L"|" + i.song_title + L"|" + i.author + L"|" + i.artist_id + L"|" +
            i.lrclink + L"|" + i.pic_s500 + L"|" + i.pic_s180 + L"|" + i.avatar_s500 + L"|" +
            i.avatar_s180 + L"]";
  }
  return text;
}

TEST(LrcpicTest, PlainPartFollowedByItsEncryptedCopy) {
  struct Case {
    std::wstring query1, query2;
    Lrcpic::LrcpicRequestTypeEnum type;
    bool drop_empty_first;
    std::wstring query, type_text;
  };
  const Case cases[] = {
      {L"Title", L"Artist", Lrcpic::kSingleSong, false, L"Title$$Artist", L"1"},
      {L"Title", L"Artist", Lrcpic::kSingleSong, true, L"Title$$Artist", L"1"},
      {L"", L"Artist", Lrcpic::kSongList, true, L"Artist", L"2"},
      {L"", L"Artist", Lrcpic::kSongList, false, L"$$Artist", L"2"},
      {L"Title", L"", Lrcpic::kSongList, true, L"Title$$", L"2"},
      {L"a&b c", L"x=y+z$", Lrcpic::kSingleSong, false, L"a%26b%20c$$x%3Dy%2Bz%24", L"1"},
      {L"晴天", L"", static_cast<Lrcpic::LrcpicRequestTypeEnum>(7), false, L"%E6%99%B4%E5%A4%A9$$",
       L"7"},
  };
  const std::wregex kShape(L"query=([^&]*)&ts=([0-9]+)&type=([0-9]+)&e=(.+)");
  for (const Case& c : cases) {
    LrcpicParams request(c.query1, c.query2, c.type, c.drop_empty_first);
    const std::wstring text = request.BuildParams();
    std::wsmatch parts;
    ASSERT_TRUE(std::regex_match(text, parts, kShape)) << text;
    EXPECT_EQ(parts[1].str(), c.query) << text;
    EXPECT_EQ(parts[3].str(), c.type_text) << text;
    const std::wstring plain = text.substr(0, text.find(L"&e="));
    EXPECT_EQ(parts[4].str(), encryption::LumoAPIEncryption::Instance().EncryptText(plain)) << text;
  }
}

TEST(LrcpicTest, AddressCarriesTheFourParameters) {
  Lrcpic request(L"a", L"b", Lrcpic::kSingleSong, false);
  std::vector<std::string> names;
  for (const auto& pair : OwnPairs(request.BuildUrl())) names.push_back(pair.first);
  EXPECT_EQ(names, (std::vector<std::string>{"query", "ts", "type", "e"}));
  EXPECT_FALSE(request.encrypt_params);
  EXPECT_TRUE(request.session_token.empty());
}

TEST(LrcpicTest, ReadsSingleSongOrList) {
  struct Case {
    Lrcpic::LrcpicRequestTypeEnum type;
    const char* body;
    std::wstring summary;
  };
  const Case cases[] = {
      {Lrcpic::kSingleSong,
       R"({"songinfo":{"song_id":1,"song_title":"T","author":"A","artist_id":"x","lrclink":"l",
           "pic_radio":"r","pic_s180":"x","pic_s500":"x","avatar_s500":"x"}})",
       L"[1|T|A||l||r||]"},
      {Lrcpic::kSingleSong, R"({"songinfo":{}})", L"[||||||||]"},
      {Lrcpic::kSingleSong, R"({"songinfo":{"song_title":null}})", L"[||||||||]"},
      {Lrcpic::kSongList,
       R"({"songinfo":[{"song_id":"1","song_title":"T","author":"A","artist_id":"9",
           "lrclink":"l","pic_s500":"p5","pic_s180":"p1","avatar_s500":"a5",
           "avatar_s180":"a1","pic_radio":"x"},{"song_id":"2"}]})",
       L"[1|T|A|9|l|p5|p1|a5|a1][2||||||||]"},
      {Lrcpic::kSongList, R"({"songinfo":{"song_id":"1"}})", L""},
      {Lrcpic::kSongList, R"({"songinfo":[]})", L""},
      {Lrcpic::kSongList, R"({"result":{"songinfo":[{"song_id":"1"}]}})", L""},
      {static_cast<Lrcpic::LrcpicRequestTypeEnum>(0), R"({"songinfo":[{"song_id":"3"}]})",
       L"[3||||||||]"},
  };
  for (const Case& c : cases) {
    ScopedFakeTransport transport;
    Lrcpic request(L"a", L"b", c.type, false);
    ASSERT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_TRUE(request.succeeded) << c.body;
    EXPECT_EQ(Summary(request.items), c.summary) << c.body;
  }
}

}  // namespace
}  // namespace lumoapi::search
