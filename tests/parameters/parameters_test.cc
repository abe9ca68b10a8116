// The exact query each request class sends: names, order, fixed values, versions and encoding.
// One row per class in support/every_request.cc; the service refuses a request whose pairs
// differ from these.
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
    if (row.query.empty()) continue;
    EXPECT_EQ(RawQuery(row.make()->BuildUrl()), WithMachineId(row.query)) << row.name;
  }
  account.SetKwtok(saved);
}

}  // namespace
}  // namespace lumo::testing
