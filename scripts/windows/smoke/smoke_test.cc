// Checks that the libraries built for Windows link and work under Wine: wide JSON with a
// character outside ASCII and one outside the BMP, URIs, base64, the UTF-8/UTF-16 conversions, a
// log line through glog, and a test through GoogleTest and GoogleMock.
#include <cpprest/asyncrt_utils.h>
#include <cpprest/base_uri.h>
#include <cpprest/json.h>
#include <cpprest/uri.h>
#include <cpprest/uri_builder.h>
#include <glog/logging.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

std::string LogAfterWindowsHeaders(const std::wstring& text);  // windows_headers_first.cc

namespace {

using testing::HasSubstr;
using utility::conversions::to_utf8string;

// U+00E9 is one UTF-16 unit, U+1F3B5 a surrogate pair: seven units in all.
const std::wstring kText = L"caf\u00e9 \U0001F3B5";
const std::string kTextUtf8 = "caf\xC3\xA9 \xF0\x9F\x8E\xB5";

class LineCollector : public google::LogSink {
 public:
  void send(google::LogSeverity /*severity*/, const char* /*full_filename*/,
            const char* /*base_filename*/, int /*line*/, const google::LogMessageTime& /*time*/,
            const char* message, size_t message_len) override {
    lines.emplace_back(message, message_len);
  }
  std::vector<std::string> lines;
};

TEST(WindowsDepsTest, WideJsonUrisBase64AndLogging) {
  ASSERT_EQ(kText.size(), 7u);

  const web::json::value parsed = web::json::value::parse(
      LR"({"title": "caf\u00e9 \ud83c\udfb5", "plays": 1.5e3, "tags": ["a", 2]})");
  EXPECT_EQ(parsed.at(L"title").as_string(), kText);
  EXPECT_DOUBLE_EQ(parsed.at(L"plays").as_double(), 1500.0);
  EXPECT_EQ(parsed.at(L"tags").size(), 2u);

  web::json::value built = web::json::value::object();
  built[L"title"] = web::json::value::string(kText);
  built[L"count"] = web::json::value::number(3);
  built[L"ids"] = web::json::value::array({web::json::value::number(7)});
  const std::wstring serialized = built.serialize();
  EXPECT_EQ(web::json::value::parse(serialized), built);
  EXPECT_THAT(to_utf8string(serialized), HasSubstr(kTextUtf8));

  EXPECT_EQ(utility::conversions::utf16_to_utf8(kText), kTextUtf8);
  EXPECT_EQ(utility::conversions::utf8_to_utf16(kTextUtf8), kText);
  EXPECT_EQ(utility::conversions::to_string_t(kTextUtf8), kText);
  EXPECT_EQ(to_utf8string(kText), kTextUtf8);

  web::uri_builder builder(L"http://127.0.0.1:8080/api/v1");
  builder.append_query(L"q", kText);
  builder.append_query(L"page", 2);
  EXPECT_EQ(builder.query(), L"q=caf%C3%A9%20%F0%9F%8E%B5&page=2");
  EXPECT_EQ(builder.to_string(), L"http://127.0.0.1:8080/api/v1?q=caf%C3%A9%20%F0%9F%8E%B5&page=2");
  EXPECT_EQ(web::uri::encode_data_string(L"a+b&c=d/e"), L"a%2Bb%26c%3Dd%2Fe");
  EXPECT_EQ(web::uri::encode_uri(L"http://127.0.0.1/a b"), L"http://127.0.0.1/a%20b");
  EXPECT_EQ(web::uri::decode(web::uri::encode_data_string(kText)), kText);

  const std::vector<unsigned char> bytes = {0x00, 0x01, 0xFE, 0xFF, 'x'};
  EXPECT_EQ(utility::conversions::to_base64(bytes), L"AAH+/3g=");
  EXPECT_EQ(utility::conversions::from_base64(L"AAH+/3g="), bytes);

  LineCollector collector;
  google::AddLogSink(&collector);
  LOG(INFO) << "smoke " << to_utf8string(serialized);
  const std::string error_line = LogAfterWindowsHeaders(kText);
  google::RemoveLogSink(&collector);
  EXPECT_THAT(collector.lines,
              testing::ElementsAre("smoke " + to_utf8string(serialized), error_line));
  EXPECT_THAT(error_line, HasSubstr("pid="));
}

}  // namespace

int main(int argc, char** argv) {
  google::InitGoogleLogging(argv[0]);
  FLAGS_logtostderr = true;
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
