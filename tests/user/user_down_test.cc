#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "lumoapi/user/user_down.h"
#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace {

using lumo::testing::Pairs;
using lumoapi::user::UserDown;

TEST(UserDownTest, JoinsSongIdsWithCommas) {
  struct Case {
    std::vector<std::wstring> songids;
    std::string raw;
  };
  const Case cases[] = {
      {{}, "songid=&uid=u"},
      {{L"5", L"", L"6"}, "songid=5,,6&uid=u"},
  };
  for (const Case& c : cases) {
    const std::string query = lumo::testing::RawQuery(UserDown(c.songids, L"u").BuildUrl());
    EXPECT_EQ(query.substr(query.find("songid=")), c.raw);
  }
}

TEST(UserDownTest, IdentifiesTheComputerAndSendsNoCookie) {
  lumo::testing::ScopedFakeTransport transport;
  UserDown request({L"1"}, L"7");
  EXPECT_EQ(lumo::testing::RunWithAnswer(request, *transport, 200, "{}"), 1);
  EXPECT_TRUE(request.succeeded);
  const auto started = transport->Started();
  ASSERT_EQ(started.size(), 1u);
  Pairs headers;
  for (const auto& header : started.front().request.headers) {
    if (header.first == "CUID" || header.first == "Cookie") headers.push_back(header);
  }
  EXPECT_EQ(headers, (Pairs{{"CUID", base::string_utils::ToUtf8(base::os_utils::GetMachineID())}}));
}

}  // namespace
