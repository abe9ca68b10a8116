#include "lumoapi/search/catalog_sug.h"

#include <gtest/gtest.h>

#include <string>

#include "support/request_harness.h"

namespace lumoapi::search {
namespace {

namespace lt = lumo::testing;

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
    lt::ScopedFakeTransport transport;
    CatalogSug request(L"q");
    ASSERT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
    EXPECT_TRUE(request.succeeded) << body;
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
    EXPECT_EQ(text, expected) << body;
  }
}

}  // namespace
}  // namespace lumoapi::search
