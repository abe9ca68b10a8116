#include "lumoapi/search/search_merge.h"

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

TEST(SearchMergeTest, SendsQueryAndFixedType) {
  struct Case {
    std::wstring query;
    std::string sent;
  };
  const Case cases[] = {
      {L"Beyond", "Beyond"},
      {L"", ""},
      {L"a&type=2", "a&type=2"},
      {L"五月天+", "五月天+"},
  };
  for (const Case& c : cases) {
    SearchMerge request(c.query);
    EXPECT_EQ(OwnPairs(request.BuildUrl()), (Pairs{{"query", c.sent}, {"type", "1"}}));
  }
}

TEST(SearchMergeTest, TakesFirstArtist) {
  struct Case {
    const char* body;
    std::wstring artist_id;
  };
  const Case cases[] = {
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":"7"},{"artist_id":"8"}]}}})", L"7"},
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":42}]}}})", L"42"},
      {R"({"result":{"artist_info":{"artist_list":[{"name":"x"},{"artist_id":"8"}]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":[]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":{"artist_id":"7"}}}})", L""},
      {R"({"result":{"artist_info":{}}})", L""},
      {R"({"result":[{"artist_info":{"artist_list":[{"artist_id":"7"}]}}]})", L""},
      {R"({"result":null})", L""},
  };
  for (const Case& c : cases) {
    ScopedFakeTransport transport;
    SearchMerge request(L"q");
    ASSERT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_TRUE(request.succeeded) << c.body;
    EXPECT_EQ(request.artist_id, c.artist_id) << c.body;
  }
}

}  // namespace
}  // namespace lumoapi::search
