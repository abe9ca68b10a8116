// A player asks for a song's play link. With an argument HOST:PORT (a lumo-sandbox, say) the
// service's host is routed there.
#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>

#include "base/http/transport.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/song/get_song_link.h"
#include "utilities/song_info.h"

class Player : public sigslot::has_slots<> {
 public:
  void Play(std::shared_ptr<utilities::SongInfo> song, const std::wstring& token) {
    link_ = std::make_unique<lumoapi::song::GetSongLink>(song, /*down=*/false, L"",
                                                         /*alt_type=*/false, token);
    link_->completed.connect(this, &Player::OnLink);
    link_->BeginRequest();  // returns at once
  }

  bool done() const { return done_; }
  bool playing() const { return playing_; }

 private:
  // Called once per BeginRequest, on the network thread (answer parsed) or on the UI thread
  // (failure). The request may be deleted here.
  void OnLink() {
    if (link_->succeeded) {
      auto item = link_->GetSongInfo();  // item.file_link, item.file_bitrate, ...
      std::cout << base::string_utils::ToUtf8(item.file_link) << " (" << item.file_bitrate
                << " kbit/s)\n";
      playing_ = true;
    } else {
      // link_->status is the service's error code, or the HTTP status; Failure() says why
      std::cerr << "no link: " << base::string_utils::ToUtf8(link_->Failure().text) << "\n";
    }
    done_ = true;
  }

  std::unique_ptr<lumoapi::song::GetSongLink> link_;
  std::atomic<bool> done_{false};  // set on the network thread or the UI thread
  bool playing_ = false;
};

int main(int argc, char** argv) {
  base::thread::UiLoop& ui = base::thread::UiLoop::Instance();
  ui.BindToCurrentThread();  // this thread is the UI thread from now on
  if (argc > 1) base::http::SetConnectTo("api.lumo.example:80", argv[1]);

  auto song = std::make_shared<utilities::SongInfo>();
  song->song_id = L"100001";
  Player player;
  player.Play(song, L"sbx-ordinary-7f3a9c21");
  // Failed calls complete through the UI loop, so it runs until the answer is in.
  if (!ui.RunUntil([&] { return player.done(); }, std::chrono::seconds(30))) return 1;
  return player.playing() ? 0 : 1;
}
