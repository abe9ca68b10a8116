// The cloud upload as a host runs it, and a usage report, against the sandbox. The report pool
// runs through the real transport in the stress tests.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "integration/sandbox_environment.h"
#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/expand.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
#include "lumoapi/user/user_down.h"
#include "support/request_harness.h"

namespace lumo::integration {
namespace {

using base::string_utils::ToUtf16;
using base::string_utils::ToUtf8;
using lumoapi::cloud::CheckFile;
using lumoapi::cloud::Record;
using lumoapi::cloud::Signature;

const std::wstring kToken = ToUtf16(sandbox::kOrdinaryUserToken);

class CloudIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSandbox(); }

  // The song a host would record for `bytes` stored as song.mp3.
  static std::shared_ptr<utilities::SongInfo> SongFor(const std::string& bytes) {
    auto song = std::make_shared<utilities::SongInfo>();
    song->title = L"Integration Song";
    song->author = L"Tester";
    song->files.push_back(std::make_shared<utilities::SongFile>(
        utilities::SongFile{L"/music/song.mp3", bytes.size(), 245999, 128}));
    return song;
  }

  static std::unique_ptr<CheckFile> Check(const std::string& bytes) {
    const std::wstring md5 = ToUtf16(lumo::sandbox::Md5Hex(bytes));
    return std::make_unique<CheckFile>(md5, md5, L"mp3", bytes.size(), 12345u);
  }

  // The PUT of `bytes` with the headers `signature` gave.
  static sandbox::testing::Response Put(const Signature& signature, const std::string& bytes) {
    return ToSandbox(
        "PUT", "/" + ToUtf8(signature.object),
        {"Host: " + ToUtf8(signature.host), "Content-Type: " + ToUtf8(signature.content_type),
         "x-qcs-date: " + ToUtf8(signature.date),
         "Authorization: " + ToUtf8(signature.authorization)},
        bytes);
  }
};

TEST_F(CloudIntegrationTest, UploadCheckSignPutRecordAndCheckAgain) {
  const std::string bytes(300000, 'x');
  const std::wstring md5 = ToUtf16(lumo::sandbox::Md5Hex(bytes));
  Completion done[5];
  std::unique_ptr<CheckFile> first_check = Check(bytes);
  ASSERT_TRUE(done[0].Run(*first_check));
  ASSERT_EQ(first_check->status, 22000);
  EXPECT_EQ(first_check->song_id, L"");

  Signature signature(first_check->object, bytes.size(), md5);
  ASSERT_TRUE(done[1].Run(signature));
  ASSERT_TRUE(signature.succeeded) << ToUtf8(signature.response_text);
  const sandbox::testing::Response put = Put(signature, bytes);
  ASSERT_EQ(put.status, 200) << put.body;

  Record record(kToken, md5, first_check->file_link, SongFor(bytes));
  ASSERT_TRUE(done[2].Run(record));
  ASSERT_TRUE(record.succeeded) << ToUtf8(record.response_text);
  EXPECT_FALSE(record.song_id.empty());

  std::unique_ptr<CheckFile> second_check = Check(bytes);
  ASSERT_TRUE(done[3].Run(*second_check));
  EXPECT_EQ(second_check->song_id, record.song_id);
  EXPECT_EQ(second_check->file_size, bytes.size());

  lumoapi::cloud::Expand quota(kToken);
  ASSERT_TRUE(done[4].Run(quota));
  EXPECT_EQ(quota.used, 1);
}

// A usage report names the computer in its CUID header, and the sandbox takes it.
TEST_F(CloudIntegrationTest, AReportIdentifiesTheComputer) {
  Completion done;
  lumoapi::user::UserDown report({L"100001", L"100002"}, L"10001");
  ASSERT_TRUE(done.Run(report));
  EXPECT_TRUE(report.succeeded) << ToUtf8(report.response_text);
  const auto logged = Logged("norda.lumo.user.down");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(sandbox::testing::Text(sandbox::testing::At(logged[0], {"headers", "cuid"})),
            ToUtf8(base::os_utils::GetMachineID()));
}

}  // namespace
}  // namespace lumo::integration
