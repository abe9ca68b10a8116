#include <cpprest/asyncrt_utils.h>
#include <cpprest/uri_builder.h>
#include <glog/logging.h>
#include <gtest/gtest.h>

#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "aes_cipher.h"
#include "base/logging.h"
#include "base/string_utils.h"
#include "core/probe_request.h"
#include "encrypt_lumoapi_param.h"
#include "log_masking.h"
#include "lumoapi/encryption.h"
#include "query_builder.h"
#include "support/glog_capture.h"
#include "support/request_harness.h"
#include "testing/cipher_failure.h"

namespace lumo::testing {
namespace {

using base::string_utils::ToUtf8;

std::string Url(ProbeRequest& request) { return ToUtf8(request.BuildUrl()); }

TEST(PairWriterTest, WritesNumbersInDecimal) {
  lumoapi::QueryBuilder builder;
  lumoapi::AppendPair(builder, L"u", uint64_t{18446744073709551615u});
  lumoapi::AppendPair(builder, L"i", -42);
  lumoapi::AppendPair(builder, L"b", true);
  EXPECT_EQ(ToUtf8(lumoapi::QueryText(builder)), "u=18446744073709551615&i=-42&b=1");
}

// The URI library's own pair encoding (uri_builder::append_query with encoding) escapes ";" too,
// where the query-component encoding that addresses have always used leaves it raw.
std::string UriLibraryPair(const std::string& name, const std::string& value) {
  web::uri_builder builder;
  builder.append_query(name, value);
  std::string pair = builder.query();
  for (size_t at = pair.find("%3B"); at != std::string::npos; at = pair.find("%3B", at)) {
    pair.replace(at, 3, ";");
  }
  return pair;
}

// Awkward texts for names and values: every byte of the pair writer's output must be what the
// URI library writes for them.
const std::wstring kAwkwardTexts[] = {
    L"",
    L"plain",
    L"周杰伦 - 晴天 (Live)",
    L"Simon & Garfunkel",
    L"a=b==c",
    L"1+1 = 2",
    L"100% sure %41%zz",
    L"semi;colon,comma/slash?query#fragment",
    L"tab\tnew\nline",
    std::wstring(L"ctl\x01\x1f\x7f", 6),
    L"quote\"<angle>[sq]{br}|pipe\\back^caret`tick",
    L"!$'()*-._~:@",
    L"emoji \U0001F3B5 and \u00e9",
    std::wstring(1, static_cast<wchar_t>(0xD800)),  // a lone surrogate, repaired to U+FFFD
};

TEST(PairWriterTest, WritesTheBytesOfTheUriLibrary) {
  for (const std::wstring& value : kAwkwardTexts) {
    lumoapi::QueryBuilder builder;
    lumoapi::AppendPair(builder, L"k", value);
    EXPECT_EQ(builder.query(), UriLibraryPair("k", ToUtf8(value))) << ToUtf8(value);
    if (value.empty()) continue;
    lumoapi::QueryBuilder named;
    lumoapi::AppendPair(named, value, L"v");
    EXPECT_EQ(named.query(), UriLibraryPair(ToUtf8(value), "v")) << ToUtf8(value);
  }
  // Every single byte, against the URI library's query-component encoding.
  for (int byte = 1; byte < 256; ++byte) {
    const std::string text(1, static_cast<char>(byte));
    std::string expected = web::uri::encode_uri(text, web::uri::components::query);
    if (text == "&") expected = "%26";
    if (text == "=") expected = "%3D";
    EXPECT_EQ(lumoapi::EncodeQueryComponent(text), expected) << byte;
  }
}

// The whole address against the one the URI library builds from the same pairs and texts.
TEST(PlainAddressTest, IsTheUriLibrarysAddress) {
  const std::wstring params[] = {L"", L"a=1&b=%26", L"&lead=1", L"trail=1&", L"x=%zz#frag"};
  for (const std::wstring& own : params) {
    for (const std::wstring& version : kAwkwardTexts) {
      ProbeRequest request;
      request.version = version;
      request.params = own;
      web::uri_builder expected(web::uri("http://api.lumo.example/v1/restserver/lumo?"));
      for (const auto& [name, value] :
           {std::pair<std::string, std::string>{"method", "norda.lumo.test.probe"},
            {"format", "json"},
            {"from", "qxpc"},
            {"version", version.empty() ? "1.0.0" : ToUtf8(version)},
            {"version_d", "10.1.1.1"}}) {
        expected.append_query(UriLibraryPair(name, value), /*do_encoding=*/false);
      }
      expected.append_query(ToUtf8(own), /*do_encoding=*/false);
      EXPECT_EQ(Url(request), expected.to_string()) << ToUtf8(own) << " " << ToUtf8(version);
    }
  }
  // A text the URI library refuses in an address is refused as before.
  for (const std::wstring own : {L"a=b c", L"a=周", L"a=\"q\""}) {
    ProbeRequest request;
    request.params = own;
    EXPECT_THROW(request.BuildUrl(), web::uri_exception) << ToUtf8(own);
  }
}

TEST(EncryptedAddressTest, CarriesMethodTimestampParamAndSign) {
  struct Case {
    std::wstring params;
    std::wstring version;
    std::string inner;
  };
  const Case cases[] = {
      {L"", L"", "format=json&from=qxpc&version=1.0.0&version_d=10.1.1.1"},
      {L"uid=7&name=a%26b", L"2.2.0",
       "format=json&from=qxpc&version=2.2.0&version_d=10.1.1.1&uid=7&name=a%26b"},
  };
  for (const Case& c : cases) {
    ProbeRequest request;
    request.encrypt_params = true;
    request.params = c.params;
    request.version = c.version;
    const std::time_t before = std::time(nullptr);
    const std::wstring url = request.BuildUrl();
    const Pairs outer = QueryPairs(url);
    ASSERT_EQ(outer.size(), 4u);
    EXPECT_EQ(outer[0], (std::pair<std::string, std::string>{"method", "norda.lumo.test.probe"}));
    EXPECT_EQ(outer[1].first, "timestamp");
    EXPECT_EQ(outer[2].first, "param");
    EXPECT_EQ(outer[3].first, "sign");
    const long long timestamp = std::stoll(outer[1].second);
    EXPECT_GE(timestamp, before);
    EXPECT_LE(timestamp, std::time(nullptr));
    EXPECT_EQ(DecryptedInnerText(url), c.inner);
    EXPECT_EQ(outer[3].second, sandbox::ParamSignature(outer[2].second, outer[1].second));
    // Base64's "=" never reaches the address raw.
    EXPECT_EQ(RawQuery(url).find("=="), std::string::npos);
  }
}

TEST(ParamEncryptionTest, BufferIsThePaddedLength) {
  struct Case {
    std::wstring text;
    size_t base64_length;
  };
  const Case cases[] = {
      {L"", 24},                  // one block of padding
      {L"0123456789abcdef", 44},  // 16 bytes: a full extra block
      {L"周杰", 24},              // 6 UTF-8 bytes
      {std::wstring(31, L'x'), 44},
  };
  for (const Case& c : cases) {
    lumoapi::LumoAPIParamEncryption encryption(1700000000);
    const std::wstring base64 = encryption.Encrypt(c.text);
    EXPECT_EQ(base64.size(), c.base64_length) << ToUtf8(c.text);
    EXPECT_EQ(encryption.param, base64);
    EXPECT_EQ(sandbox::DecryptParam(ToUtf8(base64), "1700000000"), ToUtf8(c.text));
  }
  EXPECT_NE(lumoapi::LumoAPIParamEncryption(1700000000).Encrypt(L"a"),
            lumoapi::LumoAPIParamEncryption(1700000001).Encrypt(L"a"));
}

TEST(TextEncryptionTest, IsUrlReadyAndDecryptsWithTheFixedKey) {
  for (const std::wstring text : {L"", L"hello world", L"周杰伦 - 晴天", L"?>>>???~~~~"}) {
    const std::string encrypted =
        ToUtf8(lumoapi::encryption::LumoAPIEncryption::Instance().EncryptText(text));
    EXPECT_EQ(encrypted.find_first_of("+/="), std::string::npos) << encrypted;
    const std::string base64 = SplitQuery("v=" + encrypted)[0].second;
    EXPECT_EQ(sandbox::DecryptLyricsValue(base64), ToUtf8(text));
  }
}

// NIST SP 800-38A, F.2.1 CBC-AES128.Encrypt; PKCS#5 adds a fifth block after the four.
TEST(CipherTest, MatchesPublishedVectors) {
  auto bytes = [](const std::string& hex) {
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
      out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
  };
  const std::string key = bytes("2b7e151628aed2a6abf7158809cf4f3c");
  const std::string iv = bytes("000102030405060708090a0b0c0d0e0f");
  const std::string plain = bytes(
      "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
      "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
  const std::string expected = bytes(
      "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
      "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7");
  const std::vector<unsigned char> cipher = lumoapi::EncryptAes128Cbc(key, iv, plain);
  ASSERT_EQ(cipher.size(), plain.size() + 16);
  EXPECT_EQ(std::string(cipher.begin(), cipher.begin() + 64), expected);
}

class CipherFailureTest : public ::testing::Test {
 protected:
  void TearDown() override {
    lumoapi::testing::SetCipherFailure(lumoapi::testing::CipherStep::kNone);
  }
};

TEST_F(CipherFailureTest, EncryptReturnsEmptyAndLogsTheMaskedText) {
  lumoapi::testing::SetCipherFailure(lumoapi::testing::CipherStep::kLoadKey);
  GlogCapture glog;
  lumoapi::LumoAPIParamEncryption encryption(1700000000);
  EXPECT_EQ(encryption.Encrypt(L"uid=7&kwtok=SECRET"), L"");
  EXPECT_EQ(encryption.param, L"");
  ASSERT_EQ(glog.lines.size(), 1u);
  EXPECT_EQ(glog.lines[0].severity, google::GLOG_ERROR);
  EXPECT_EQ(glog.lines[0].file, "src\\encrypt_lumoapi_param");
  EXPECT_EQ(glog.lines[0].line, 84);
  EXPECT_EQ(glog.lines[0].text, "encrpt api param failed, the param is:uid=7&kwtok=***");

  // The address is still built: an empty "param", signed over the salt and timestamp alone.
  ProbeRequest request;
  request.encrypt_params = true;
  const Pairs outer = QueryPairs(request.BuildUrl());
  EXPECT_EQ(ValueOf(outer, "param"), "");
  EXPECT_EQ(ValueOf(outer, "sign"), sandbox::ParamSignature("", ValueOf(outer, "timestamp")));
}

TEST_F(CipherFailureTest, EncryptTextNamesTheFailedStep) {
  struct Case {
    lumoapi::testing::CipherStep step;
    std::wstring reason;
  };
  const Case cases[] = {
      {lumoapi::testing::CipherStep::kOpenEngine, L"Create encription engine failed"},
      {lumoapi::testing::CipherStep::kLoadKey, L"Import aes 128bit key failed"},
      {lumoapi::testing::CipherStep::kEncrypt, L"encrypt string failed"},
  };
  for (const Case& c : cases) {
    lumoapi::testing::SetCipherFailure(c.step);
    std::vector<base::logging::LogRecord> records;
    auto previous = base::logging::SetLogSink(
        [&](const base::logging::LogRecord& record) { records.push_back(record); });
    EXPECT_EQ(lumoapi::encryption::LumoAPIEncryption::Instance().EncryptText(L"song"), L"");
    base::logging::SetLogSink(previous);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].location, L"lumoapi::encryption::LumoAPIEncryption::EncryptText");
    EXPECT_EQ(records[0].line, 97u);
    EXPECT_EQ(records[0].severity, base::logging::LoggingSeverity::kError);
    EXPECT_EQ(records[0].message, L"encrypt song failed: " + c.reason);
  }
}

TEST(LogMaskingTest, HidesTokenValues) {
  struct Case {
    std::wstring text;
    std::wstring masked;
  };
  const Case cases[] = {
      {L"a=1&kwtok=abc&b=2", L"a=1&kwtok=***&b=2"},
      {L"Cookie: KWTOK=abc; x=1", L"Cookie: KWTOK=***; x=1"},
      {L"KwToK=secret", L"KwToK=***"},
      {L"?KWTOK=s1&kwtok=s2", L"?KWTOK=***&kwtok=***"},
      {L"kwtok=abc def", L"kwtok=*** def"},
      {L"\"kwtok=abc\"", L"\"kwtok=***\""},
      {L"kwtok=", L"kwtok="},
      {L"mykwtok=abc", L"mykwtok=abc"},
  };
  for (const Case& c : cases) EXPECT_EQ(lumoapi::MaskSecrets(c.text), c.masked);
}

}  // namespace
}  // namespace lumo::testing
