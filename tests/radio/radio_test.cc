// The radio requests: the account token each address carries, and the song ids each batch reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/string_utils.h"
#include "lumoapi/radio/get_private_radio_songs.h"
#include "lumoapi/radio/get_public_radio_songs.h"
#include "lumoapi/radio/get_scene_songs.h"
#include "lumoapi/radio/radio_play_action.h"
#include "settings/user_account_settings.h"
#include "support/request_harness.h"

namespace lumoapi {
namespace {

namespace lt = lumo::testing;
using Ids = std::vector<std::wstring>;

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

}  // namespace
}  // namespace lumoapi
