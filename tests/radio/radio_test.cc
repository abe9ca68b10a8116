#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "lumoapi/radio/get_private_radio_songs.h"
#include "lumoapi/radio/get_public_radio_songs.h"
#include "lumoapi/radio/get_scene_songs.h"
#include "lumoapi/radio/radio_play_action.h"
#include "settings/user_account_settings.h"
#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace lumoapi::radio {
namespace {

using lumo::testing::Pairs;
using Ids = std::vector<std::wstring>;

// "method", "version" and the request's own pairs, as the address carries them.
Pairs Sent(RequestBase& request) {
  Pairs sent;
  for (const auto& pair : lumo::testing::QueryPairs(request.BuildUrl())) {
    if (pair.first != "format" && pair.first != "from" && pair.first != "version_d") {
      sent.push_back(pair);
    }
  }
  return sent;
}

TEST(RadioTest, SendsMethodVersionAndPairs) {
  auto& account = settings::user::UserAccountSettings::Instance();
  const std::wstring saved = account._GetKwtok();
  account.SetKwtok(L"acct");

  GetPublicRadioSongs public_songs(L"Jazz & \u7235\u58eb");
  EXPECT_EQ(Sent(public_songs), (Pairs{{"method", "norda.lumo.radio.getChannelSong"},
                                       {"version", "2.2.0"},
                                       {"channelname", "Jazz & \xe7\x88\xb5\xe5\xa3\xab"},
                                       {"rn", "10"},
                                       {"kwtok", "acct"}}));
  GetSceneSongs scene(L"42");
  EXPECT_EQ(Sent(scene), (Pairs{{"method", "norda.lumo.song.getSmartSongList"},
                                {"version", "2.2.0"},
                                {"scene_id", "42"},
                                {"item_id", "0"},
                                {"page_size", "10"},
                                {"kwtok", "acct"}}));
  GetPrivateRadioSongs private_songs(L"alice", L"secret");
  EXPECT_EQ(Sent(private_songs), (Pairs{{"method", "norda.lumo.radio.serv"},
                                        {"version", "1.0.0"},
                                        {"usrname", "alice"},
                                        {"needdata", "true"},
                                        {"kwtok", "secret"}}));
  RadioPlayAction action(L"");
  action.ch_name = L"pop";
  action.item_id = L"123";
  action.action_no = -3;
  EXPECT_EQ(Sent(action),
            (Pairs{{"method", "norda.lumo.radio.playAction"},
                   {"version", "1.0.0"},
                   {"nordaid", base::string_utils::ToUtf8(base::os_utils::GetMachineID())},
                   {"ch_name", "pop"},
                   {"item_id", "123"},
                   {"action_no", "-3"}}));
  action.kwtok = L"tk";
  EXPECT_EQ(Sent(action).back(), Pairs::value_type("kwtok", "tk"));

  // The account's token is read again for every address.
  account.SetKwtok(L"new");
  EXPECT_EQ(Sent(public_songs).back(), Pairs::value_type("kwtok", "new"));
  EXPECT_EQ(Sent(scene).back(), Pairs::value_type("kwtok", "new"));
  account.SetKwtok(saved);
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
  lumo::testing::ScopedFakeTransport transport;
  for (int i = 0; i < runs; ++i) {
    EXPECT_EQ(lumo::testing::RunWithAnswer(request, *transport, 200, body), 1);
  }
  EXPECT_TRUE(request.succeeded) << body;
  return request.song_ids;
}

TEST(RadioTest, ReadsSongIds) {
  const std::string mixed = R"([{"songid":"1","song_id":"9"},{"songid":2},{}])";
  const std::string songlist = R"({"result":{"songlist":)";

  EXPECT_EQ(IdsAfter(GetPublicRadioSongs(L"p"), songlist + List("songid", 25) + "}}"),
            Numbered(1, 25));
  EXPECT_EQ(IdsAfter(GetPublicRadioSongs(L"p"), songlist + mixed + "}}"), (Ids{L"1", L"2", L""}));
  EXPECT_EQ(IdsAfter(GetSceneSongs(L"s"), songlist + mixed + "}}"), (Ids{L"9", L"", L""}));
  EXPECT_EQ(IdsAfter(GetPublicRadioSongs(L"p"), songlist + List("songid", 3) + "}}", 2),
            (Ids{L"1", L"2", L"3", L"1", L"2", L"3"}));
  EXPECT_EQ(IdsAfter(GetPublicRadioSongs(L"p"), R"({"result":[{"songlist":[{"songid":"1"}]}]})"),
            Ids{});

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

  EXPECT_EQ(IdsAfter(RadioPlayAction(L"t"), R"({"result":{"list":)" + List("songid", 12) + "}}"),
            Numbered(1, 10));
}

}  // namespace
}  // namespace lumoapi::radio
