// The one-pass member reader of the song pages must find exactly what a search per member finds.
#include "json_access.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

namespace {

TEST(MembersTest, FindsWhatMemberFinds) {
  static constexpr std::array<std::string_view, 4> kKeys = {"song_id", "title", "has_mv", "gone"};
  const char* const answers[] = {
      R"({"title":"A","song_id":"1","extra":[1,2],"has_mv":1})",
      R"({"song_id":"1","song_id":"2","title":null,"title":"B"})",  // a name given twice
      R"({"song_idx":"1","Title":"upper case","has_m":0})",         // near misses
      R"({})",
      R"([{"song_id":"1"}])",
      R"("song_id")",
      R"(null)",
  };
  for (const char* text : answers) {
    const web::json::value answer = web::json::value::parse(text);
    const auto members = lumoapi::Members(answer, kKeys);
    for (size_t i = 0; i < kKeys.size(); ++i) {
      EXPECT_EQ(members[i], &lumoapi::Member(answer, std::string(kKeys[i]).c_str()))
          << text << " " << kKeys[i];
    }
  }
}

}  // namespace
