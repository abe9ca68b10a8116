// Texts that must come out the same whichever form the JSON and URI library keeps them in (UTF-8
// on POSIX, UTF-16 on Windows): characters beyond the Basic Multilingual Plane, which are one
// wide unit on POSIX and a surrogate pair on Windows, and whole addresses, byte for byte. Every
// expectation is spelled out here, so that both platforms' suites check the same table.
#include <cpprest/base_uri.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "aes_cipher.h"
#include "base/string_utils.h"
#include "core/probe_request.h"
#include "encrypt_lumoapi_param.h"
#include "json_access.h"
#include "lumoapi/diy/add_list.h"
#include "lumoapi/diy/get_playlists.h"
#include "lumoapi/encryption.h"
#include "lumoapi/favorite/get_favorite_song.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/search/lrcpic.h"
#include "lumoapi/search/search_merge.h"
#include "lumoapi/splash/get_splash_pic.h"
#include "lumoapi/user/user_down.h"
#include "query_builder.h"
#include "support/answered.h"
#include "support/request_harness.h"
#include "utilities/json.h"

namespace lumo::testing {
namespace {

using base::string_utils::ToUtf8;
using Make = std::function<std::unique_ptr<lumoapi::RequestBase>()>;

// U+1F3B5 (a musical note) and U+20BB7 (a CJK extension B ideograph). The compiler writes each as
// one unit where wchar_t is 32-bit and as a surrogate pair where it is 16-bit.
constexpr wchar_t kNoteAndIdeograph[] = L"\U0001F3B5 \U00020BB7";

// The inner text of a new list called kNoteAndIdeograph: its title encoded once by the request
// and once more as a query value.
constexpr char kNewListInner[] =
    "format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1"
    "&title=%25F0%259F%258E%25B5%2520%25F0%25A0%25AE%25B7&process=1";

// The keyword's UTF-8 bytes are F0 9F 8E B5 and F0 A0 AE B7.
TEST(SurrogatePairTest, SearchKeywordIsSentAsItsUtf8Bytes) {
  lumoapi::search::CatalogSug suggestions(kNoteAndIdeograph);
  EXPECT_EQ(ToUtf8(suggestions.BuildUrl()),
            "http://api.lumo.example/v1/restserver/lumo?method=norda.lumo.search.catalogSug"
            "&format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1"
            "&query=%F0%9F%8E%B5%20%F0%A0%AE%B7");

  // The lyrics lookup encodes each query on its own before the pairs are joined.
  lumoapi::search::Lrcpic lyrics(L"\U0001F3B5", L"\U00020BB7", lumoapi::search::Lrcpic::kSongList,
                                 false);
  const std::string query = RawQuery(lyrics.BuildUrl());
  const std::string common =
      "method=norda.lumo.search.lrcpic&format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1&";
  const std::string own = "query=%F0%9F%8E%B5$$%F0%A0%AE%B7&ts=";
  ASSERT_EQ(query.substr(0, common.size() + own.size()), common + own) << query;
  // "e" is the encrypted copy of the own pairs before it.
  const size_t e = query.find("&e=");
  EXPECT_EQ(sandbox::DecryptLyricsValue(ValueOf(SplitQuery(query), "e")),
            query.substr(common.size(), e - common.size()))
      << query;
}

// The same characters in an answer, sent as raw UTF-8 or as JSON escapes of their UTF-16 units,
// read back into a record. A byte that is no UTF-8, and an escaped lone surrogate, read as U+FFFD
// on either form.
TEST(SurrogatePairTest, SongTitleIsReadAsTheSameCharacters) {
  struct Case {
    const char* body;
    std::wstring songname;
    std::wstring artistname;
  };
  const Case cases[] = {
      {"{\"song\":[{\"songid\":\"1\",\"songname\":\"\xF0\x9F\x8E\xB5 \xF0\xA0\xAE\xB7\","
       "\"artistname\":\"\\ud83c\\udfb5 \\ud842\\udfb7\"}]}",
       kNoteAndIdeograph, kNoteAndIdeograph},
      {"{\"song\":[{\"songid\":\"1\",\"songname\":\"a\xF0\x9F\x8E\xB5\",\"artistname\":\"\\u5468\"}"
       "]}",
       L"a\U0001F3B5", L"\u5468"},
      {"{\"song\":[{\"songid\":\"1\",\"songname\":\"a\x80"
       "b\",\"artistname\":\"\\udc00\"}]}",
       L"a\uFFFDb", L"\uFFFD"},
  };
  for (const Case& c : cases) {
    const auto request = Answered<lumoapi::search::CatalogSug>(c.body, L"q");
    ASSERT_TRUE(request->succeeded) << c.body;
    ASSERT_EQ(request->songs.size(), 1u) << c.body;
    EXPECT_EQ(request->songs[0].songid, L"1") << c.body;
    EXPECT_EQ(request->songs[0].songname, c.songname) << c.body;
    EXPECT_EQ(request->songs[0].artistname, c.artistname) << c.body;
  }
}

// Both forms of the library's text are plain std::string and std::wstring, so every conversion
// and comparison runs here whichever form this platform's library has.
TEST(TextFormsTest, ConvertsBetweenUtf8AndWide) {
  using utilities::json::TextIn;
  const std::string note_utf8 = "\xF0\x9F\x8E\xB5";
  EXPECT_EQ(TextIn<std::wstring>(note_utf8), L"\U0001F3B5");
  EXPECT_EQ(TextIn<std::string>(std::wstring(L"\U0001F3B5")), note_utf8);
  EXPECT_EQ(TextIn<std::string>(note_utf8), note_utf8);
  EXPECT_EQ(TextIn<std::wstring>(std::wstring(kNoteAndIdeograph)), kNoteAndIdeograph);
  // Malformed text: repaired into wide text, UTF-8 copied as it is.
  EXPECT_EQ(TextIn<std::wstring>(std::string("a\x80")), L"a\uFFFD");
  EXPECT_EQ(TextIn<std::string>(std::string("a\x80")), "a\x80");
  const std::wstring lone_low(1, static_cast<wchar_t>(0xDC00));
  EXPECT_EQ(TextIn<std::wstring>(L"a" + lone_low), L"a\uFFFD");
  EXPECT_EQ(TextIn<std::string>(L"a" + lone_low), "a\xEF\xBF\xBD");
}

// A wide member name against an ASCII key, unit by unit (the narrow form is plain equality).
TEST(TextFormsTest, WideMemberNamesCompareWithAsciiKeys) {
  struct Case {
    std::wstring name;
    const char* key;
    bool same;
  };
  const Case cases[] = {
      {L"song_id", "song_id", true},
      {L"song_i", "song_id", false},
      {L"song_idx", "song_id", false},
      {L"Song_id", "song_id", false},
      {L"", "", true},
      {std::wstring(1, static_cast<wchar_t>(0x161)), "a", false},  // same low byte as "a"
      {L"\u00e9", "\xC3\xA9", false},
  };
  for (const Case& c : cases) EXPECT_EQ(lumoapi::NameIs(c.name, c.key), c.same) << c.key;
}

// A service code sent as a string is read from its ASCII digits only, whichever form the string
// has: full-width digits are no number, so the code is the default, success.
TEST(NumericTextTest, ServiceCodeAsAString) {
  struct Case {
    const char* body;
    bool succeeded;
    int32_t status;
  };
  const Case cases[] = {
      {R"({"error_code":"22000"})", true, 22000},
      {R"({"error_code":" 22001 "})", false, 22001},
      {R"({"error_code":"\t22469\n"})", true, 22469},
      {"{\"error_code\":\"\xEF\xBC\x92\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x90\xEF\xBC\x91\"}", true,
       22000},
      {R"({"error_code":"22001x"})", true, 22000},
  };
  for (const Case& c : cases) {
    ScopedFakeTransport transport;
    ProbeRequest request;
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1) << c.body;
    EXPECT_EQ(request.succeeded, c.succeeded) << c.body;
    EXPECT_EQ(request.status, c.status) << c.body;
  }
}

// The data-string encoding written by the library against the URI library's own, over ASCII (the
// same bytes in either form), and spelled out for UTF-8 sequences.
TEST(DataStringTest, IsTheUriLibrarysEncoding) {
  for (int byte = 1; byte < 0x80; ++byte) {
    const std::string text(1, static_cast<char>(byte));
    EXPECT_EQ(
        lumoapi::EncodeDataBytes(text),
        utilities::json::Utf8Of(web::uri::encode_data_string(utilities::json::StringTOf(text))))
        << byte;
  }
  struct Case {
    std::wstring text;
    std::wstring encoded;
  };
  const Case cases[] = {
      {kNoteAndIdeograph, L"%F0%9F%8E%B5%20%F0%A0%AE%B7"},
      {L"My list & \u5468", L"My%20list%20%26%20%E5%91%A8"},
      {L"-._~!*'()", L"-._~%21%2A%27%28%29"},
      {std::wstring(1, static_cast<wchar_t>(0xD800)), L"%EF%BF%BD"},  // a lone surrogate
  };
  for (const Case& c : cases) EXPECT_EQ(lumoapi::EncodeDataString(c.text), c.encoded);
}

// RFC 4648's test vectors, and every byte value.
TEST(Base64Test, WritesTheStandardAlphabetWithPadding) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\x00\xFF\xFE", 3), "AP/+"},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(lumoapi::Base64Text(std::vector<unsigned char>(bytes.begin(), bytes.end())), text)
        << text;
  }
  std::vector<unsigned char> all(256);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<unsigned char>(i);
  EXPECT_EQ(lumoapi::Base64Text(all).substr(0, 24), "AAECAwQFBgcICQoLDA0ODxAR");
  EXPECT_EQ(lumoapi::Base64Text(all).substr(320), "8PHy8/T19vf4+fr7/P3+/w==");
}

// Whole plain addresses, byte for byte.
TEST(FixedAddressTest, PlainAddresses) {
  struct Row {
    const char* name;
    Make make;
    const char* address;
  };
  using Ids = std::vector<std::wstring>;
  const Row rows[] = {
      {"suggestions",
       [] { return std::make_unique<lumoapi::search::CatalogSug>(L"rock & roll=1+1"); },
       "http://api.lumo.example/v1/restserver/lumo?method=norda.lumo.search.catalogSug"
       "&format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1&query=rock%20%26%20roll%3D1%2B1"},
      {"merged search",
       [] { return std::make_unique<lumoapi::search::SearchMerge>(L"\U0001F3B5\U00020BB7"); },
       "http://api.lumo.example/v1/restserver/lumo?method=norda.lumo.search.merge"
       "&format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1"
       "&query=%F0%9F%8E%B5%F0%A0%AE%B7&type=1"},
      {"user down",
       [] {
         return std::make_unique<lumoapi::user::UserDown>(Ids{L"1", L"2"}, L"7");
       },
       "http://api.lumo.example/v1/restserver/lumo?method=norda.lumo.user.down"
       "&format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1&songid=1,2&uid=7"},
      {"favourite page",
       [] { return std::make_unique<lumoapi::favorite::GetFavoriteSong>(L"tok", 100, 50); },
       "http://api.lumo.example/v1/restserver/lumo?method=norda.lumo.favorite.getFavoriteSong"
       "&format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1&kwtok=tok&pn=100&rn=50"},
      {"splash", [] { return std::make_unique<lumoapi::splash::GetSplashPic>(); },
       "http://api.lumo.example/v1/restserver/lumo?method=norda.lumo.active.startPC"
       "&format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1"},
  };
  for (const Row& row : rows) EXPECT_EQ(ToUtf8(row.make()->BuildUrl()), row.address) << row.name;
}

// Raw bytes that no address may carry are refused whichever form the URI library checks: U+5468
// and U+0161 have the low bytes of "h" and "a", which a wide check of converted text would pass.
TEST(FixedAddressTest, RawBytesAreRefused) {
  for (const std::wstring params : {L"a=\u5468", L"a=\u0161", L"a=b c", L"a=\U0001F3B5"}) {
    ProbeRequest request;
    request.params = params;
    EXPECT_THROW(request.BuildUrl(), web::uri_exception) << ToUtf8(params);
  }
}

// Encrypted addresses: the method, then the time, the encrypted inner text and its signature.
// The time is the clock's, so the row holds the inner text, and the address must be exactly the
// outer pairs over it at whatever time it was built; FixedClockTest pins the encrypted bytes.
TEST(FixedAddressTest, EncryptedAddresses) {
  struct Row {
    const char* name;
    Make make;
    const char* method;
    const char* inner;
  };
  const Row rows[] = {
      {"new list",
       [] { return std::make_unique<lumoapi::diy::AddList>(L"tok", kNoteAndIdeograph, 0); },
       "norda.lumo.ugcdiy.addSongList", kNewListInner},
      {"list pages", [] { return std::make_unique<lumoapi::diy::GetPlayLists>(L"tok", 2, 50, 0); },
       "norda.lumo.ugcdiy.userList",
       "format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1&offset=100&source=0&type=10"},
  };
  const std::regex kShape(
      R"(http://api\.lumo\.example/v1/restserver/lumo\?method=([a-zA-Z.]+)&timestamp=([0-9]+))"
      R"(&param=([A-Za-z0-9%/]+)&sign=([0-9a-f]{32}))");
  for (const Row& row : rows) {
    const std::string address = ToUtf8(row.make()->BuildUrl());
    std::smatch match;
    ASSERT_TRUE(std::regex_match(address, match, kShape)) << row.name << ": " << address;
    EXPECT_EQ(match[1].str(), row.method) << row.name;
    const std::string timestamp = match[2].str();
    const std::string param = SplitQuery("p=" + match[3].str())[0].second;
    EXPECT_EQ(sandbox::DecryptParam(param, timestamp), row.inner) << row.name;
    EXPECT_EQ(match[4].str(), sandbox::ParamSignature(param, timestamp)) << row.name;
  }
}

// The encrypted parts at a fixed time and with the fixed key, as literal bytes; each is also
// read back by the service's own cipher, which shares no code with the library's.
TEST(FixedClockTest, EncryptedPartsAreTheSameBytes) {
  const std::string inner = kNewListInner;
  const std::string param =
      "6kMZVUTN5Cyc9UukzMYK4MCEpj47ZdiH5oMLO3mNFON/mFyUt8RqLo4vrfeAy4bmHiYwq9SV8xHunjVxHg69dmbI"
      "Pdb+cZO5SKZ2l8aJ4TYbtr+YCslJ5t5gho9TM3zY8QJ/HGau+1RLlFWX6wbdzzfwW4w7i7O6j3siBtEqJbs=";
  const std::string sign = "3d3c4e7178de879a2c09f49569d2a058";
  lumoapi::LumoAPIParamEncryption encryption(1700000000);
  EXPECT_EQ(ToUtf8(encryption.Encrypt(base::string_utils::ToUtf16(inner))), param);
  EXPECT_EQ(ToUtf8(encryption.Sign()), sign);
  EXPECT_EQ(sandbox::DecryptParam(param, "1700000000"), inner);
  EXPECT_EQ(sandbox::ParamSignature(param, "1700000000"), sign);

  const std::wstring plain = L"query=%F0%9F%8E%B5$$%F0%A0%AE%B7&ts=1700000000&type=2";
  const std::string value =
      "H6weGIIADSrI5IFi6pOLBbo54e0Uch41eMib6LkjyjlqJu28dM0DeE6FEN1%2BqpIKX4XiKUDpwh4YyWR1vak6qw"
      "%3D%3D";
  EXPECT_EQ(ToUtf8(lumoapi::encryption::LumoAPIEncryption::Instance().EncryptText(plain)), value);
  EXPECT_EQ(sandbox::DecryptLyricsValue(SplitQuery("e=" + value)[0].second), ToUtf8(plain));
}

}  // namespace
}  // namespace lumo::testing
