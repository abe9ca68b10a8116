// The cloud upload as a host runs it, and reports through the report pool, against the sandbox.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "base/os_utils.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "integration/sandbox_environment.h"
#include "lumoapi/cloud/check_file.h"
#include "lumoapi/cloud/expand.h"
#include "lumoapi/cloud/record.h"
#include "lumoapi/cloud/signature.h"
#include "lumoapi/splash/get_splash_pic.h"
#include "lumoapi/user/report_pool.h"
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

// A report that records when the pool deletes it.
template <class Request>
class Tracked : public Request {
 public:
  template <class... Args>
  explicit Tracked(bool* deleted, Args&&... args)
      : Request(std::forward<Args>(args)...), deleted_(deleted) {}
  ~Tracked() override { *deleted_ = true; }

 private:
  bool* deleted_;
};

class ReportPoolIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSandbox(); }
  void TearDown() override {
    lumoapi::user::ReportPool::Instance().Uninit();
    ToSandbox("DELETE", "/_sandbox/rules");
  }
};

TEST_F(ReportPoolIntegrationTest, SendsReportsAndDeletesThemOnceFinished) {
  bool first_deleted = false;
  bool second_deleted = false;
  Completion done;
  auto first = std::make_unique<Tracked<lumoapi::user::UserDown>>(
      &first_deleted, std::vector<std::wstring>{L"100001", L"100002"}, L"10001");
  auto second = std::make_unique<Tracked<lumoapi::user::UserDown>>(
      &second_deleted, std::vector<std::wstring>{}, L"10001");
  done.Watch(*first);
  done.Watch(*second);
  lumoapi::user::ReportPool& pool = lumoapi::user::ReportPool::Instance();
  pool.Init();
  pool.AddReport(std::move(first));
  pool.AddReport(std::move(second));
  // Only the UI thread deletes reports, and it has not run yet.
  EXPECT_FALSE(first_deleted);
  EXPECT_FALSE(second_deleted);

  ASSERT_TRUE(done.WaitFor(2));
  base::thread::UiLoop::Instance().RunUntilIdle();
  EXPECT_TRUE(first_deleted);
  EXPECT_TRUE(second_deleted);

  const auto logged = Logged("norda.lumo.user.down");
  ASSERT_EQ(logged.size(), 2u);
  for (const auto& entry : logged) {
    EXPECT_EQ(entry.at("error_code").as_integer(), 22000);
    EXPECT_EQ(entry.at("headers").at("cuid").as_string(), ToUtf8(base::os_utils::GetMachineID()));
  }
}

TEST_F(ReportPoolIntegrationTest, KeepsARunningReportUntilUninitDeletesIt) {
  // The user-down report is answered only after the test is over.
  ToSandbox("POST", "/_sandbox/rules", {},
            R"({"method":"norda.lumo.user.down","action":"delay","delay_ms":60000})");
  bool slow_deleted = false;
  bool fast_deleted = false;
  Completion slow_done;
  Completion fast_done;
  auto slow = std::make_unique<Tracked<lumoapi::user::UserDown>>(
      &slow_deleted, std::vector<std::wstring>{L"100001"}, L"10001");
  auto fast = std::make_unique<Tracked<lumoapi::splash::GetSplashPic>>(&fast_deleted);
  slow_done.Watch(*slow);
  fast_done.Watch(*fast);
  lumoapi::user::ReportPool& pool = lumoapi::user::ReportPool::Instance();
  pool.AddReport(std::move(slow));
  pool.AddReport(std::move(fast));

  ASSERT_TRUE(fast_done.WaitFor(1));
  base::thread::UiLoop::Instance().RunUntilIdle();
  EXPECT_TRUE(fast_deleted);
  EXPECT_FALSE(slow_deleted);

  pool.Uninit();
  EXPECT_TRUE(slow_deleted);
  base::thread::UiLoop::Instance().RunUntilIdle();
  EXPECT_EQ(slow_done.count(), 0);
}

}  // namespace
}  // namespace lumo::integration
