// Every request class's answer path on arbitrary bodies: the request is started over the fake
// transport, answered with HTTP 200 and the input, and its parsed result read afterwards. The
// first byte picks the row of the table of every request (tests/support/every_request.h) or,
// past those, a task, whose pages are all answered with the same body.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/string_utils.h"
#include "base/thread/ui_loop.h"
#include "fuzz_input.h"
#include "lumoapi/diy/get_channels.h"
#include "lumoapi/diy/get_playlist.h"
#include "lumoapi/diy/get_playlists.h"
#include "lumoapi/favorite/get_collect_song.h"
#include "lumoapi/favorite/get_favorite_song.h"
#include "lumoapi/recommend/get_recommend_songs.h"
#include "lumoapi/search/catalog_sug.h"
#include "lumoapi/search/lrcpic.h"
#include "lumoapi/song/get_song_link.h"
#include "support/every_request.h"
#include "support/fake_transport.h"
#include "support/page_answering.h"

namespace {

namespace lt = lumo::testing;

// Reads a text as the host would show it.
size_t Touch(const std::wstring& text) { return base::string_utils::ToUtf8(text).size(); }

// Reads the records of the classes that parse lists of them; the other classes' results are
// plain fields that the parse itself wrote.
size_t TouchResult(lumoapi::RequestBase& request) {
  size_t n = Touch(request.response_text) + static_cast<size_t>(request.status);
  if (auto* link = dynamic_cast<lumoapi::song::GetSongLink*>(&request)) {
    const auto item = link->GetSongInfo();
    n += Touch(item.file_link) + Touch(item.title) + Touch(item.tips);
  } else if (auto* list = dynamic_cast<lumoapi::diy::GetPlayList*>(&request)) {
    for (const auto& song : list->songs) n += Touch(song.song_id) + Touch(song.title);
    n += Touch(list->info.list_title);
  } else if (auto* lists = dynamic_cast<lumoapi::diy::GetPlayLists*>(&request)) {
    for (const auto& item : lists->lists) n += Touch(item.list_id) + Touch(item.title);
  } else if (auto* channels = dynamic_cast<lumoapi::diy::GetChannels*>(&request)) {
    for (const auto& group : channels->channels) n += group.size();
    for (const auto& hot : channels->hot) n += Touch(hot);
  } else if (auto* sug = dynamic_cast<lumoapi::search::CatalogSug*>(&request)) {
    for (const auto& song : sug->songs) n += Touch(song.songname);
    for (const auto& artist : sug->artists) n += Touch(artist.artistpic);
    for (const auto& album : sug->albums) n += Touch(album.albumname);
  } else if (auto* lrc = dynamic_cast<lumoapi::search::Lrcpic*>(&request)) {
    for (const auto& item : lrc->items) n += Touch(item.lrclink) + Touch(item.pic_s500);
  } else if (auto* fav = dynamic_cast<lumoapi::favorite::GetFavoriteSong*>(&request)) {
    for (const auto& song : fav->songs) n += Touch(song.song_id) + Touch(song.title);
  } else if (auto* col = dynamic_cast<lumoapi::favorite::GetCollectSong*>(&request)) {
    for (const auto& song : col->songs) n += Touch(song.song_id) + Touch(song.artist);
  } else if (auto* rec = dynamic_cast<lumoapi::recommend::GetRecommendSongs*>(&request)) {
    for (const auto& song : rec->songs) n += Touch(song->song_id) + song->files.size();
  }
  return n;
}

void AnswerRequest(const lt::RequestRow& row, const std::string& body) {
  lt::ScopedFakeTransport transport;
  lt::EndProbe probe;
  auto request = row.make();
  request->session_token = row.session_token;
  request->completed.connect(&probe, &lt::EndProbe::OnCompleted);
  request->BeginRequest();
  const auto pending = transport->Pending();
  if (!pending.empty()) transport->Answer(pending.front().id, 200, body);
  base::thread::UiLoop::Instance().RunUntilIdle();
  if (probe.count != 1) __builtin_trap();  // every call ends with exactly one completion
  volatile size_t read = TouchResult(*request);
  (void)read;
}

void AnswerTask(const lt::TaskRow& row, const std::string& body) {
  lt::ScopedFakeTransport transport;
  auto task = row.make(L"tok", L"5");
  task->BeginRequest();
  // A task that pages on for ever is cut off here; a real one stops when the pages say so.
  lt::AnswerEachHere(*transport, body, 8);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  base::thread::UiLoop::Instance().BindToCurrentThread();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto& requests = lt::EveryRequestRow();
  const auto& tasks = lt::EveryTaskRow();
  const size_t pick = data[0] % (requests.size() + tasks.size());
  const std::string body = lumo::fuzz::BytesFrom(data + 1, size - 1);
  if (pick < requests.size()) {
    AnswerRequest(requests[pick], body);
  } else {
    AnswerTask(tasks[pick - requests.size()], body);
  }
  return 0;
}
