// A player that runs its own message loop, as a Win32 program does (GetMessage/DispatchMessage),
// and takes the library's completions there: it gets a song link, a merged search, a page of a
// song list (sent encrypted) and every favourite song from the service at HOST:PORT (a
// lumo-sandbox), one after the other, and prints what it got. Elsewhere the loop is the host
// layer's UiLoop. The same service gives the same lines on every system; exits 0 when every step
// succeeded.
#include <atomic>
#include <chrono>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/http/transport.h"
#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/favorite/get_all_favorite_songs.h"
#include "lumoapi/search/search_merge.h"
#include "lumoapi/song/get_song_link.h"
#include "utilities/song_info.h"

namespace {

const std::wstring kToken = L"sbx-ordinary-7f3a9c21";

std::string Utf8(const std::wstring& text) { return base::string_utils::ToUtf8(text); }

// The steps, each started on the UI thread once the one before has completed. A completion may
// arrive on the network thread, so it only records the outcome and wakes the loop (Wake), which
// starts the next step.
class Tour : public sigslot::has_slots<> {
 public:
  explicit Tour(std::function<void()> wake) : wake_(std::move(wake)) {
    steps_ = {[this] { AskSongLink(); }, [this] { AskSearch(); }, [this] { AskListPage(); },
              [this] { AskFavorites(); }};
  }

  // Starts the next step; false when there is none left (or one failed).
  bool Next() {
    if (failed_ || next_ == steps_.size()) return false;
    steps_[next_++]();
    return true;
  }
  bool failed() const { return failed_; }

 private:
  void AskSongLink() {
    auto song = std::make_shared<utilities::SongInfo>();
    song->song_id = L"100001";
    link_ = std::make_unique<lumoapi::song::GetSongLink>(song, /*down=*/false, L"",
                                                         /*alt_type=*/false, kToken);
    link_->completed.connect(this, &Tour::OnSongLink);
    link_->BeginRequest();
  }
  void OnSongLink() {
    if (Check(*link_, "song link")) {
      const auto item = link_->GetSongInfo();
      // The link's query (xcode=...) changes with the time; the file does not.
      const std::string link = Utf8(item.file_link);
      std::cout << "song 100001: " << link.substr(0, link.find('?')) << ", " << item.file_bitrate
                << " kbit/s\n";
    }
    wake_();
  }

  void AskSearch() {
    search_ = std::make_unique<lumoapi::search::SearchMerge>(L"\u6797\u5b50\u8f69");
    search_->completed.connect(this, &Tour::OnSearch);
    search_->BeginRequest();
  }
  void OnSearch() {
    if (Check(*search_, "merged search")) {
      std::cout << "search " << Utf8(search_->query) << ": artist " << Utf8(search_->artist_id)
                << "\n";
    }
    wake_();
  }

  void AskListPage() {
    list_ = std::make_unique<lumoapi::diy::GetPlayList>(kToken, L"300152", 0, 100);
    list_->completed.connect(this, &Tour::OnListPage);
    list_->BeginRequest();
  }
  void OnListPage() {
    if (Check(*list_, "song list page")) {
      std::cout << "list " << Utf8(list_->list_id) << " \"" << Utf8(list_->info.list_title)
                << "\": " << list_->song_num << " songs\n";
      for (const auto& song : list_->songs) {
        std::cout << "  " << Utf8(song.song_id) << " " << Utf8(song.title) << " / "
                  << Utf8(song.author) << "\n";
      }
    }
    wake_();
  }

  void AskFavorites() {
    favorites_ = std::make_unique<lumoapi::favorite::GetAllFavoriteSongs>(kToken);
    favorites_->completed.connect(this, &Tour::OnFavorites);
    favorites_->BeginRequest();
  }
  void OnFavorites() {
    if (!favorites_->_GetSucceeded()) {
      Fail("favourite songs", favorites_->_GetStatus(), favorites_->Failure().text);
    } else {
      std::cout << "favourites: " << favorites_->songs.size() << " songs\n";
      for (const auto& song : favorites_->songs) {
        std::cout << "  " << Utf8(song.song_id) << " " << Utf8(song.title) << "\n";
      }
    }
    wake_();
  }

  bool Check(lumoapi::RequestBase& request, const char* what) {
    if (request.succeeded) return true;
    Fail(what, request.status, request.Failure().text);
    return false;
  }
  void Fail(const char* what, unsigned int status, const std::wstring& why) {
    std::cerr << what << " failed (" << status << "): " << Utf8(why) << "\n";
    failed_ = true;
  }

  std::function<void()> wake_;
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  std::atomic<bool> failed_{false};
  std::unique_ptr<lumoapi::song::GetSongLink> link_;
  std::unique_ptr<lumoapi::search::SearchMerge> search_;
  std::unique_ptr<lumoapi::diy::GetPlayList> list_;
  std::unique_ptr<lumoapi::favorite::GetAllFavoriteSongs> favorites_;
};

#ifdef _WIN32
// The program's own loop. The library's completions come as messages to its window on this
// thread and reach it through DispatchMessage; the tour's wake-ups are thread messages.
int RunTour() {
  const DWORD thread = GetCurrentThreadId();
  Tour tour([thread] { PostThreadMessageW(thread, WM_APP, 0, 0); });
  if (!tour.Next()) return 1;
  SetTimer(nullptr, 0, 30000, nullptr);  // gives up after 30 s
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == WM_APP) {
      if (!tour.Next()) PostQuitMessage(tour.failed() ? 1 : 0);
      continue;
    }
    if (msg.hwnd == nullptr && msg.message == WM_TIMER) {
      std::cerr << "no answer within 30 s\n";
      return 1;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
#else
int RunTour() {
  std::atomic<int> wakes{0};
  Tour tour([&wakes] { ++wakes; });
  for (int seen = 0; tour.Next(); ++seen) {
    if (!base::thread::UiLoop::Instance().RunUntil([&] { return wakes > seen; },
                                                   std::chrono::seconds(30))) {
      std::cerr << "no answer within 30 s\n";
      return 1;
    }
  }
  return tour.failed() ? 1 : 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: message_loop HOST:PORT\n";
    return 2;
  }
  base::thread::UiLoop::Instance().BindToCurrentThread();  // this thread runs the loop
  base::http::SetConnectTo("api.lumo.example:80", argv[1]);
  return RunTour();
}
