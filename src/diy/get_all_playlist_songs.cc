#include "lumoapi/diy/get_all_playlist_songs.h"

#include <utility>

#include "page_task.h"

namespace lumoapi::diy {
namespace {

constexpr unsigned int kPageSize = 100;

}  // namespace

GetAllPlayListSongs::GetAllPlayListSongs(std::wstring kwtok, std::wstring list_id)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)) {}

// The page request goes before the dispatcher: its answer may be handled on the network thread
// right now, and that handling may post through the dispatcher.
GetAllPlayListSongs::~GetAllPlayListSongs() { internal::DeleteInPlace(request); }

void GetAllPlayListSongs::BeginRequest() {
  internal::StartRequest(this, &GetAllPlayListSongs::OnPageCompleted, request,
                         std::make_unique<GetPlayList>(kwtok, list_id, offset, kPageSize));
}

unsigned int GetAllPlayListSongs::_GetStatus() const {
  return request ? static_cast<unsigned int>(request->status) : 0;
}

bool GetAllPlayListSongs::_GetSucceeded() const { return request && request->succeeded; }

void GetAllPlayListSongs::OnPageCompleted() {
  if (request->succeeded) {
    info = request->info;
    song_num = request->song_num;
    // Compared as signed 64-bit numbers: a negative count ends the run instead of wrapping.
    const bool more =
        internal::RunGoesOn(int64_t{offset} + kPageSize < int64_t{song_num}, offset / kPageSize);
    internal::AppendPage(songs, request->songs, more);
    if (more) {
      offset += kPageSize;
      internal::PostNextPage(this, dispatcher);
      return;
    }
  }
  // A receiver may delete this task: nothing of it is touched after the emission.
  completed.emit();
}

}  // namespace lumoapi::diy
