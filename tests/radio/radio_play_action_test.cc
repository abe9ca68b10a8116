#include "lumoapi/radio/radio_play_action.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace {

using lumo::testing::Pairs;
using lumoapi::radio::RadioPlayAction;
using Ids = std::vector<std::wstring>;

TEST(RadioPlayActionTest, BuildsPairsAndLeavesOutAnEmptyToken) {
  const std::string machine_id = base::string_utils::ToUtf8(base::os_utils::GetMachineID());
  struct Case {
    std::wstring kwtok;
    int32_t action_no;
    Pairs own;
  };
  const Case cases[] = {
      {L"",
       2,
       {{"nordaid", machine_id}, {"ch_name", "pop"}, {"item_id", "123"}, {"action_no", "2"}}},
      {L"tk",
       -3,
       {{"nordaid", machine_id},
        {"ch_name", "pop"},
        {"item_id", "123"},
        {"action_no", "-3"},
        {"kwtok", "tk"}}},
  };
  for (const Case& c : cases) {
    RadioPlayAction request(c.kwtok);
    request.ch_name = L"pop";
    request.item_id = L"123";
    request.action_no = c.action_no;
    const std::wstring url = request.BuildUrl();
    EXPECT_EQ(lumo::testing::QueryPairs(url).front(),
              Pairs::value_type("method", "norda.lumo.radio.playAction"));
    EXPECT_EQ(lumo::testing::OwnPairs(url), c.own);
  }
}

TEST(RadioPlayActionTest, ParsesAtMostTenSongIds) {
  auto list = [](int n) {
    std::string items;
    for (int i = 1; i <= n; ++i) {
      items += (i > 1 ? "," : "") + ("{\"songid\":\"" + std::to_string(i) + "\"}");
    }
    return R"({"result":{"list":[)" + items + "]}}";
  };
  auto ids = [](int n) {
    Ids out;
    for (int i = 1; i <= n; ++i) out.push_back(std::to_wstring(i));
    return out;
  };
  struct Case {
    const char* name;
    std::string body;
    int runs;
    Ids ids;
  };
  const Case cases[] = {
      {"first ten of twelve", list(12), 1, ids(10)},
      {"a second run adds nothing once ten are held", list(12), 2, ids(10)},
      {"missing songid gives an empty id",
       R"({"result":{"list":[{"song_id":"5"},{"songid":6}]}})",
       1,
       {L"", L"6"}},
      {"result not an object", R"({"result":[]})", 1, {}},
      {"list not an array", R"({"result":{"list":{"songid":"1"}}})", 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    lumo::testing::ScopedFakeTransport transport;
    RadioPlayAction request(L"tk");
    for (int i = 0; i < c.runs; ++i) {
      EXPECT_EQ(lumo::testing::RunWithAnswer(request, *transport, 200, c.body), 1);
    }
    EXPECT_TRUE(request.succeeded);
    EXPECT_EQ(request.song_ids, c.ids);
  }
}

}  // namespace
