#include "lumoapi/search/search_merge.h"

#include <gtest/gtest.h>

#include <string>

#include "support/request_harness.h"

namespace lumoapi::search {
namespace {

namespace lt = lumo::testing;

TEST(SearchMergeTest, TakesFirstArtist) {
  const std::pair<const char*, std::wstring> cases[] = {
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":"7"},{"artist_id":"8"}]}}})", L"7"},
      {R"({"result":{"artist_info":{"artist_list":[{"artist_id":42}]}}})", L"42"},
      {R"({"result":{"artist_info":{"artist_list":[{"name":"x"},{"artist_id":"8"}]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":[]}}})", L""},
      {R"({"result":{"artist_info":{"artist_list":{"artist_id":"7"}}}})", L""},
      {R"({"result":[{"artist_info":{"artist_list":[{"artist_id":"7"}]}}]})", L""},
  };
  for (const auto& [body, artist_id] : cases) {
    lt::ScopedFakeTransport transport;
    SearchMerge request(L"q");
    ASSERT_EQ(lt::RunWithAnswer(request, *transport, 200, body), 1);
    EXPECT_TRUE(request.succeeded) << body;
    EXPECT_EQ(request.artist_id, artist_id) << body;
  }
}

}  // namespace
}  // namespace lumoapi::search
