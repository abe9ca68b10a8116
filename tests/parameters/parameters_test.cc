// The exact query each request class sends: names, order, fixed values, versions and encoding.
// One row per class in support/every_request.cc, with the address form and the account cookie;
// the service refuses a request whose pairs differ from these. Then the variants of a class's own
// pairs that its row does not show.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "lumoapi/diy/add_favorite_song_list.h"
#include "lumoapi/diy/add_list.h"
#include "lumoapi/diy/add_ugc_song_list_at_once.h"
#include "lumoapi/diy/get_playlists.h"
#include "lumoapi/favorite/add_song_favorite.h"
#include "lumoapi/song/get_song_link.h"
#include "lumoapi/user/user_down.h"
#include "settings/user_account_settings.h"
#include "support/every_request.h"
#include "support/request_harness.h"

namespace lumo::testing {
namespace {

namespace diy = lumoapi::diy;
using Ids = std::vector<std::wstring>;

std::string WithMachineId(std::string text) {
  const std::string id = base::string_utils::ToUtf8(base::os_utils::GetMachineID());
  const size_t at = text.find("{id}");
  if (at != std::string::npos) text.replace(at, 4, id);
  return text;
}

TEST(RequestParametersTest, EachClassSendsItsPairsInOrder) {
  settings::user::UserAccountSettings& account = settings::user::UserAccountSettings::Instance();
  const std::wstring saved = account._GetKwtok();
  account.SetKwtok(kAccountToken);
  for (const RequestRow& row : EveryRequestRow()) {
    const auto request = row.make();
    EXPECT_EQ(request->encrypt_params, row.encrypted) << row.name;
    EXPECT_EQ(request->session_token, row.session_token) << row.name;
    if (row.query.empty()) continue;
    const std::wstring url = request->BuildUrl();
    if (row.encrypted) {
      const Pairs outer = QueryPairs(url);
      ASSERT_EQ(outer.size(), 4u) << row.name;
      EXPECT_EQ("method=" + outer[0].second + "&" + DecryptedInnerText(url), row.query) << row.name;
    } else {
      EXPECT_EQ(RawQuery(url), WithMachineId(row.query)) << row.name;
    }
  }
  account.SetKwtok(saved);
}

std::shared_ptr<utilities::SongInfo> TitleOnly(std::wstring title) {
  auto song = std::make_shared<utilities::SongInfo>();
  song->title = std::move(title);
  song->lebo = true;
  return song;
}

// The own pairs, decoded, after the common ones.
TEST(RequestParametersTest, VariantsOfTheOwnPairs) {
  struct Case {
    const char* name;
    std::function<std::unique_ptr<lumoapi::RequestBase>()> make;
    Pairs pairs;
  };
  const Case cases[] = {
      {"lists of kind 1",
       [] { return std::make_unique<diy::GetPlayLists>(L"t", 3, 50, 1); },
       {{"offset", "150"}, {"source", "0"}, {"type", "0"}}},
      {"lists of kind 2",
       [] { return std::make_unique<diy::GetPlayLists>(L"t", 0, 50, 2); },
       {{"offset", "0"}, {"source", "1"}, {"type", "0"}}},
      {"lists of kind 3",
       [] { return std::make_unique<diy::GetPlayLists>(L"t", 1, 50, 3); },
       {{"offset", "50"}, {"source", "2"}, {"type", "0"}}},
      {"lists of an unknown kind: the offset alone",
       [] { return std::make_unique<diy::GetPlayLists>(L"t", 0, 50, 7); },
       {{"offset", "0"}}},
      {"a list offset beyond 32 bits",
       [] { return std::make_unique<diy::GetPlayLists>(L"t", 4000000000u, 50, -1); },
       {{"offset", "200000000000"}}},
      {"new list, process 1 sends what process 0 sends",
       [] { return std::make_unique<diy::AddList>(L"t", L"a b", 1); },
       {{"title", "a%20b"}, {"process", "1"}}},
      {"new list, process 2 sends nothing",
       [] { return std::make_unique<diy::AddList>(L"t", L"a", 2); },
       {}},
      {"new list with songs: an id with a letter is left out",
       [] {
         return std::make_unique<diy::AddUgcSongListAtOnce>(L"t", L"a", L"", Ids{L"12", L"x"});
       },
       {{"kwtok", "t"}, {"title", "a"}, {"process", "1"}, {"song_ids", "12"}}},
      {"new list with songs: no id left",
       [] {
         return std::make_unique<diy::AddUgcSongListAtOnce>(L"t", L"a", L"", Ids{L"x", L"1 "});
       },
       {{"kwtok", "t"}, {"title", "a"}, {"process", "1"}, {"song_ids", ""}}},
      {"new list with songs: an empty id passes the digit test",
       [] {
         return std::make_unique<diy::AddUgcSongListAtOnce>(L"t", L"a", L"", Ids{L"", L"3"});
       },
       {{"kwtok", "t"}, {"title", "a"}, {"process", "1"}, {"song_ids", ",3"}}},
      {"list favourite, source 2",
       [] { return std::make_unique<diy::AddFavoriteSongList>(L"t", L"9", 2); },
       {{"list_id", "9"}, {"source", "2"}}},
      {"list favourite, source 3 sends nothing",
       [] { return std::make_unique<diy::AddFavoriteSongList>(L"t", L"9", 3); },
       {}},
      // The removal writes its pairs with the same code (FavoriteListParams).
      {"list favourite, source -1 sends nothing",
       [] { return std::make_unique<diy::AddFavoriteSongList>(L"t", L"9", -1); },
       {}},
      {"song link by a title alone, lebo",
       [] {
         return std::make_unique<lumoapi::song::GetSongLink>(TitleOnly(L"晴天 & Co"), false, L"",
                                                             false, L"");
       },
       {{"songid", "晴天 & Co"},
        {"lebo", "1"},
        {"down", "0"},
        {"bit", ""},
        {"type", "1"},
        {"kwtok", ""}}},
      {"favourite added, the time beyond 32 bits",
       [] { return std::make_unique<lumoapi::favorite::AddSongFavorite>(L"t", L"7", 5000000000); },
       {{"kwtok", "t"}, {"songId", "7"}, {"time", "5000000000"}}},
      {"report without songs",
       [] { return std::make_unique<lumoapi::user::UserDown>(Ids{}, L"u"); },
       {{"songid", ""}, {"uid", "u"}}},
      {"report with an empty id",
       [] {
         return std::make_unique<lumoapi::user::UserDown>(Ids{L"5", L"", L"6"}, L"u");
       },
       {{"songid", "5,,6"}, {"uid", "u"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(OwnPairs(c.make()->BuildUrl()), c.pairs) << c.name;
}

}  // namespace
}  // namespace lumo::testing
