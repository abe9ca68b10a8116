#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>

#include "cloud/cloud_test_util.h"
#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/signature.h"
#include "support/fake_transport.h"
#include "support/request_harness.h"

namespace {

using lumo::testing::LastExchangeSentCookie;
using lumo::testing::MachineId;
using lumo::testing::OwnPairs;
using lumo::testing::Pairs;
using lumo::testing::RunWithAnswer;
using lumo::testing::ScopedFakeTransport;
using lumoapi::cloud::CheckFile;
using lumoapi::cloud::Signature;

TEST(CheckFileTest, SendsEverythingAsPassedWithUnsignedNumbers) {
  struct Case {
    std::wstring ext;
    uint64_t length;
    uint32_t crc;
    std::string length_text;
    std::string crc_text;
  };
  const Case cases[] = {
      {L"mp3", 5 * 1024 * 1024, 0x80000001u, "5242880", "2147483649"},
      {L"", 0, 0, "0", "0"},
      {L"flac", std::numeric_limits<uint64_t>::max(), std::numeric_limits<uint32_t>::max(),
       "18446744073709551615", "4294967295"},
  };
  for (const Case& c : cases) {
    CheckFile request(L"cmd5", L"smd5", c.ext, c.length, c.crc);
    const Pairs expected = {{"content_md5", "cmd5"},
                            {"slice_md5", "smd5"},
                            {"ext", base::string_utils::ToUtf8(c.ext)},
                            {"content_length", c.length_text},
                            {"content_crc32", c.crc_text},
                            {"id", MachineId()},
                            {"isXos", "1"}};
    EXPECT_EQ(OwnPairs(request.BuildUrl()), expected);
  }
}

TEST(CheckFileTest, ParsesEveryAnswerCodeAndDropsSongIdZero) {
  struct Case {
    const char* name;
    std::string body;
    int32_t status;
    std::wstring song_id, host, file_link, object;
    uint64_t time, file_size;
    std::wstring bucket;
  };
  const Case cases[] = {
      {"full answer",
       R"({"result":{"song_id":"123","file_link":"http://l/f","object":"o/k","host":"h",)"
       R"("time":1700000000,"file_size":5242880,"bucket":"b"}})",
       22000, L"123", L"h", L"http://l/f", L"o/k", 1700000000, 5242880, L"b"},
      {"song id text 0", R"({"result":{"song_id":"0","host":"h"}})", 22000, L"", L"h", L"", L"", 0,
       0, L""},
      {"song id number 0", R"({"result":{"song_id":0}})", 22000, L"", L"", L"", L"", 0, 0, L""},
      {"song id 00 kept", R"({"result":{"song_id":"00"}})", 22000, L"00", L"", L"", L"", 0, 0, L""},
      {"song id 10 kept", R"({"result":{"song_id":10}})", 22000, L"10", L"", L"", L"", 0, 0, L""},
      {"other code still parsed", R"({"error_code":22001,"result":{"object":"o","time":5}})", 22001,
       L"", L"", L"", L"o", 5, 0, L""},
      {"other code without result", R"({"error_code":30000})", 30000, L"", L"", L"", L"", 0, 0,
       L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedFakeTransport transport;
    CheckFile request(L"cmd5", L"smd5", L"mp3", 1, 2);
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_TRUE(request.succeeded);
    EXPECT_EQ(request.status, c.status);
    EXPECT_EQ(std::tie(request.song_id, request.host, request.file_link, request.object,
                       request.time, request.file_size, request.bucket),
              std::tie(c.song_id, c.host, c.file_link, c.object, c.time, c.file_size, c.bucket));
    EXPECT_FALSE(LastExchangeSentCookie(*transport));
  }
}

TEST(SignatureTest, AsksForAPutOfAnOctetStream) {
  Signature request(L"music/a b.mp3", 1234, L"cmd5");
  const Pairs expected = {{"input_method", "PUT"},
                          {"object", "music/a b.mp3"},
                          {"content_length", "1234"},
                          {"content_md5", "cmd5"},
                          {"content_type", "application/octet-stream"}};
  EXPECT_EQ(OwnPairs(request.BuildUrl()), expected);
}

TEST(SignatureTest, ReadsTheHeaderValues) {
  struct Case {
    const char* name;
    std::string body;
    bool succeeded;
    std::wstring host;
    uint64_t content_length;
    std::wstring content_type, date, authorization;
  };
  const Case cases[] = {
      {"full answer",
       R"({"result":{"Host":"h","Content-Length":99,"Content-Type":"application/octet-stream",)"
       R"("x-qcs-date":"d","Authorization":"a"}})",
       true, L"h", 99, L"application/octet-stream", L"d", L"a"},
      {"length missing", R"({"result":{"Host":"h"}})", true, L"h", 0, L"", L"", L""},
      {"accepted code", R"({"error_code":24003,"result":{"Authorization":"a"}})", true, L"", 0, L"",
       L"", L"a"},
      {"refused keeps the given length", R"({"error_code":22001,"result":{"Host":"h"}})", false,
       L"", 1234, L"", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedFakeTransport transport;
    Signature request(L"o", 1234, L"cmd5");
    EXPECT_EQ(RunWithAnswer(request, *transport, 200, c.body), 1);
    EXPECT_EQ(request.succeeded, c.succeeded);
    EXPECT_EQ(std::tie(request.host, request.content_length, request.content_type, request.date,
                       request.authorization),
              std::tie(c.host, c.content_length, c.content_type, c.date, c.authorization));
    EXPECT_FALSE(LastExchangeSentCookie(*transport));
  }
}

}  // namespace
