// The exact query each request class sends: names, order, fixed values, versions and encoding.
// One row per class in support/every_request.cc, with the address form and the account cookie;
// the service refuses a request whose pairs differ from these.
#include <gtest/gtest.h>

#include <string>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "settings/user_account_settings.h"
#include "support/every_request.h"
#include "support/request_harness.h"

namespace lumo::testing {
namespace {

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

}  // namespace
}  // namespace lumo::testing
