#include "lumoapi/diy/cancel_favorite_song_list_task.h"

#include <utility>

#include "page_task.h"

namespace lumoapi::diy {

CancelFavoriteSongListTask::CancelFavoriteSongListTask(std::wstring kwtok, std::wstring list_id,
                                                       int source)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)), source(source) {}

CancelFavoriteSongListTask::~CancelFavoriteSongListTask() { internal::DeleteInPlace(request); }

void CancelFavoriteSongListTask::BeginRequest() {
  internal::StartRequest(this, &CancelFavoriteSongListTask::OnRequestCompleted, request,
                         std::make_unique<CancelFavoriteSongList>(kwtok, list_id, source));
}

void CancelFavoriteSongListTask::OnRequestCompleted() {
  failure_ = request->Failure();
  task_completed.emit(source, request->status);
}

}  // namespace lumoapi::diy
