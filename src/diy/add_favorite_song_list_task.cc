#include "lumoapi/diy/add_favorite_song_list_task.h"

#include <utility>

#include "page_task.h"

namespace lumoapi::diy {

AddFavoriteSongListTask::AddFavoriteSongListTask(std::wstring kwtok, std::wstring list_id,
                                                 int source)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)), source(source) {}

AddFavoriteSongListTask::~AddFavoriteSongListTask() { internal::DeleteInPlace(request); }

void AddFavoriteSongListTask::BeginRequest() {
  internal::StartRequest(this, &AddFavoriteSongListTask::OnRequestCompleted, request,
                         std::make_unique<AddFavoriteSongList>(kwtok, list_id, source));
}

void AddFavoriteSongListTask::OnRequestCompleted() {
  failure_ = request->Failure();
  task_completed.emit(source, request->status);
}

}  // namespace lumoapi::diy
