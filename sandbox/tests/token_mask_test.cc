// The rule that finds a session token however a client wrote it, and what it leaves shown.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "exchange.h"
#include "sandbox/seed_users.h"
#include "token_mask.h"

namespace lumo::sandbox {
namespace {

TEST(MaskTokensTest, HidesEveryTokenValueAndNothingElse) {
  const std::pair<const char*, const char*> cases[] = {
      {"method=x&kwtok=sbx-secret&rn=10", "method=x&kwtok=***&rn=10"},
      {"KWTOK=sbx-secret; other=1", "KWTOK=***; other=1"},
      {"Kwtok=a&KwTok=b", "Kwtok=***&KwTok=***"},
      {"kwtok=", "kwtok="},                            // anonymous: nothing to hide
      {"kwtok=a b\"c", "kwtok=*** b\"c"},              // the value ends at a space
      {"my_kwtok=a&xkwtok=b", "my_kwtok=a&xkwtok=b"},  // other names
      {"kwtok", "kwtok"},
      {"title=%E5%8D%8E kwtok=\xE5\x8D\x8E", "title=%E5%8D%8E kwtok=***"},
  };
  for (const auto& [text, masked] : cases) EXPECT_EQ(MaskTokens(text), masked) << text;
}

// Ways of writing a token that the service (or a cookie reader) still takes for one.
TEST(MaskTokensTest, HidesTokensHoweverTheirNameIsWritten) {
  const std::pair<const char*, const char*> cases[] = {
      {"a=1&kw%74ok=sbx-secret&b=2", "a=1&kw%74ok=***&b=2"},        // an escaped letter
      {"%6B%57%54%4F%4B=sbx-secret", "%6B%57%54%4F%4B=***"},        // every letter escaped
      {"KWTOK=\"sbx-secret\"; lang=zh", "KWTOK=\"***\"; lang=zh"},  // a quoted cookie
      {"KWTOK =sbx-secret", "KWTOK =***"},                          // a blank before '='
      {"kwtok = sbx-secret", "kwtok = ***"},                        // blanks around it
      {"kwtok%3Dsbx-secret", "kwtok%3D***"},                        // an escaped '='
      {"x=%26kwtok=sbx-secret", "x=%26kwtok=***"},                  // after an escaped '&'
      {"kwtok=sbx-secret, unknown token sbx-secret", "kwtok=***, unknown token ***"},
      {R"({"echo":"kwtok=sbx-secret\"x"})", R"({"echo":"kwtok=***\"x"})"},  // in a JSON text
      {"kwtok=sbx%2Fsecret x=sbx/secret y=sbx%2fsecret", "kwtok=*** x=*** y=***"},
  };
  for (const auto& [text, masked] : cases) EXPECT_EQ(MaskTokens(text), masked) << text;
}

// The log shows a seed user's token as it was sent, and only the exact token: one that merely
// starts like it is hidden.
TEST(MaskTokensTest, ShowsOnlyTheSeedUsersTokensWhenAsked) {
  const std::string seed = kBigUserToken;
  const std::pair<std::string, std::string> cases[] = {
      {"KWTOK=" + seed + "; lang=zh", "KWTOK=" + seed + "; lang=zh"},
      {"kwtok=\"" + seed + "\"", "kwtok=\"" + seed + "\""},
      {"kwtok=sbx%2Dbig-2c81e4d0", "kwtok=sbx%2Dbig-2c81e4d0"},  // escaped, the same token
      {"kwtok=" + seed + "0&kwtok=" + seed, "kwtok=***&kwtok=" + seed},
      {"kwtok=other-1234 again other-1234", "kwtok=*** again ***"},
  };
  for (const auto& [text, masked] : cases) {
    EXPECT_EQ(MaskTokens(text, SeedTokens::kShown), masked) << text;
    EXPECT_EQ(MaskTokens(text, SeedTokens::kHidden).find(seed), std::string::npos) << text;
  }
}

// A value found after a token's name in any text of the record is hidden in all of them.
TEST(MaskRecordTest, HidesAValueFoundInOneTextInEveryOther) {
  const std::string secret = "real/user+tok=XYZ";
  LogRecord record;
  record.target = "/v1/restserver/lumo?method=m&title=real%2Fuser%2Btok%3DXYZ";
  record.method = "m";
  record.params = {{"Kw%74ok", secret}, {"title", secret}, {"kwtok", kOrdinaryUserToken}};
  record.inner_text = "format=json&note=" + secret;
  record.headers = {{"cookie", "lang=zh; KWTOK=" + std::string(kCuratorToken)},
                    {"x-echo", "kwtok =" + secret}};
  record.answer = R"({"error_msg":"unknown token )" + secret + R"("})";

  MaskRecord(record, SeedTokens::kShown);
  EXPECT_EQ(record.target, "/v1/restserver/lumo?method=m&title=***");
  EXPECT_EQ(record.params[0].second, "***");
  EXPECT_EQ(record.params[1].second, "***");
  EXPECT_EQ(record.params[2].second, kOrdinaryUserToken);
  EXPECT_EQ(record.inner_text, "format=json&note=***");
  EXPECT_EQ(record.headers[0].second, "lang=zh; KWTOK=" + std::string(kCuratorToken));
  EXPECT_EQ(record.headers[1].second, "kwtok =***");
  EXPECT_EQ(record.answer, R"({"error_msg":"unknown token ***"})");
}

}  // namespace
}  // namespace lumo::sandbox
