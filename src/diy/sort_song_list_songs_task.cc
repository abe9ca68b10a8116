#include "lumoapi/diy/sort_song_list_songs_task.h"

#include <utility>

#include "page_task.h"

namespace lumoapi::diy {

SortSongListSongsTask::SortSongListSongsTask(std::wstring kwtok, std::wstring list_id,
                                             std::vector<std::wstring> song_ids)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)), song_ids(std::move(song_ids)) {}

SortSongListSongsTask::~SortSongListSongsTask() { internal::DeleteInPlace(request); }

void SortSongListSongsTask::BeginRequest() {
  internal::StartRequest(this, &SortSongListSongsTask::OnRequestCompleted, request,
                         std::make_unique<SortSongListSongs>(kwtok, list_id, song_ids));
}

unsigned int SortSongListSongsTask::_GetStatus() const { return internal::StatusOf(*this); }

bool SortSongListSongsTask::_GetSucceeded() const { return internal::SucceededOf(*this); }

void SortSongListSongsTask::OnRequestCompleted() {
  failure_ = request->Failure();
  completed.emit();
}

}  // namespace lumoapi::diy
