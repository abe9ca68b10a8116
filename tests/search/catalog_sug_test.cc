#include "lumoapi/search/catalog_sug.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace lumoapi::search {
namespace {

using lumo::testing::OwnPairs;
using lumo::testing::Pairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;

// The three lists in one line: "S[id|name|artist]" per song, "A[...]" per artist, "L[...]" per
// album, in order.
std::wstring Summary(const CatalogSug& request) {
  std::wstring text;
  for (const auto& s : request.songs) {
    text += L"S[" + s.songid + L"|" + s.songname + L"|" + s.artistname + L"]";
  }
  for (const auto& a : request.artists) {
    text += L"A[" + a.artistid + L"|" + a.artistname + L"|" + a.artistpic + L"]";
  }
  for (const auto& l : request.albums) {
    text +=
        L"L[" + l.albumid + L"|" + l.albumname + L"|" + l.artistname + L"|" + l.artistpic + L"]";
  }
  return text;
}

TEST(CatalogSugTest, SendsQuery) {
  struct Case {
    std::wstring query;
    std::string sent;
  };
  const Case cases[] = {
      {L"abc", "abc"},
      {L"", ""},
      {L"rock & roll=1+1", "rock & roll=1+1"},
      {L"周杰伦", "周杰伦"},
  };
  for (const Case& c : cases) {
    CatalogSug request(c.query);
    EXPECT_EQ(OwnPairs(request.BuildUrl()), (Pairs{{"query", c.sent}}));
  }
}

TEST(CatalogSugTest, ReadsEachListOnItsOwn) {
  struct Case {
    const char* body;
    std::wstring summary;
  };
  const Case cases[] = {
      {R"({"song":[{"songid":"1","songname":"S1","artistname":"A1"},{"songid":2,"songname":"S2"}],
          "artist":[{"artistid":"9","artistname":"A9","artistpic":"p9"}],
          "album":[{"albumid":"5","albumname":"L5","artistname":"A9","artistpic":"p9"}]})",
       L"S[1|S1|A1]S[2|S2|]A[9|A9|p9]L[5|L5|A9|p9]"},
      {R"({"album":[{"albumid":"1","albumname":"X"},{"albumid":"1","albumname":"X"}]})",
       L"L[1|X||]L[1|X||]"},
      {R"({"song":{"songid":"1"},"artist":[{"artistid":"2"}],"album":null})", L"A[2||]"},
      {R"({"song":[{}],"artist":"none","album":[]})", L"S[||]"},
      {R"({"result":{"song":[{"songid":"1"}]}})", L""},
  };
  for (const Case& c : cases) {
    ScopedFakeTransport transport;
    CatalogSug request(L"q");
    ASSERT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_TRUE(request.succeeded) << c.body;
    EXPECT_EQ(Summary(request), c.summary) << c.body;
  }
}

}  // namespace
}  // namespace lumoapi::search
