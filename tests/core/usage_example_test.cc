// The usage example at the top of lumoapi/request_base.h, as a host would write it, against the
// fake transport: its lines compile against the real classes and read what the call delivered.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "lumoapi/song/get_song_link.h"
#include "support/fake_transport.h"
#include "support/ui_test_util.h"
#include "utilities/song_info.h"

namespace {

using lumo::testing::FakeTransport;

class Player : public sigslot::has_slots<> {
 public:
  void Start(std::shared_ptr<utilities::SongInfo> song, const std::wstring& token) {
    // The example's lines from here on.
    link_ = std::make_unique<lumoapi::song::GetSongLink>(song, /*down=*/false, L"",
                                                         /*alt_type=*/false, token);
    link_->completed.connect(this, &Player::OnLink);
    link_->BeginRequest();  // returns at once
  }

  void OnLink() {  // on the network thread or the UI thread; may delete link_
    if (link_->succeeded)
      Play(link_->GetSongInfo().file_link);
    else
      ShowError(link_->Failure().text);  // `status`: the service's code, or the HTTP status
    ended_ = true;
  }

  std::wstring played;
  std::wstring error;
  bool ended() const { return ended_; }

 private:
  void Play(const std::wstring& link) { played = link; }
  void ShowError(const std::wstring& text) { error = text; }

  std::unique_ptr<lumoapi::song::GetSongLink> link_;
  std::atomic<bool> ended_{false};
};

TEST(UsageExampleTest, ReadsTheLinkOrTheReason) {
  struct Case {
    const char* name;
    int transport_code;  // 0: answered with `status` and `body`
    int32_t status;
    std::string body;
    std::wstring played;
    std::wstring error;
  };
  const Case cases[] = {
      {"answered", 0, 200,
       R"({"result":{"songinfo":{"song_id":"1"},"bitrate":[{"file_link":"link-1"}]}})", L"link-1",
       L""},
      {"refused", 7, 0, "", L"", L"connection refused"},
      {"service code", 0, 200, R"({"error_code":40011})", L"", L"service error 40011"},
  };
  for (const Case& c : cases) {
    lumo::testing::ScopedFakeTransport transport;
    auto song = std::make_shared<utilities::SongInfo>();
    song->song_id = L"1";
    Player player;
    player.Start(song, L"token");
    ASSERT_EQ(transport->Pending().size(), 1u) << c.name;
    const auto id = transport->Pending().front().id;
    std::thread network([&] {
      if (c.transport_code != 0)
        transport->Fail(id, c.transport_code, "refused");
      else
        transport->Answer(id, c.status, c.body);
    });
    network.join();
    ASSERT_TRUE(lumo::testing::RunUiUntil([&] { return player.ended(); })) << c.name;
    EXPECT_EQ(player.played, c.played) << c.name;
    EXPECT_EQ(player.error, c.error) << c.name;
  }
}

}  // namespace
