#include "lumoapi/favorite/get_all_collect_songs.h"

#include <utility>

#include "favorite/favorite_common.h"

namespace lumoapi::favorite {

GetAllCollectSongs::GetAllCollectSongs(std::wstring kwtok) : kwtok(std::move(kwtok)) {}

// The page request goes before the dispatcher: its answer may be handled on the network thread
// right now, and that handling may post through the dispatcher.
GetAllCollectSongs::~GetAllCollectSongs() { internal::DeleteInPlace(request); }

void GetAllCollectSongs::BeginRequest() {
  internal::StartRequest(this, &GetAllCollectSongs::OnPageCompleted, request,
                         std::make_unique<GetCollectSong>(kwtok, pn, kTaskPageSize));
}

unsigned int GetAllCollectSongs::_GetStatus() const {
  return request ? static_cast<unsigned int>(request->status) : 0;
}

bool GetAllCollectSongs::_GetSucceeded() const { return request && request->succeeded; }

void GetAllCollectSongs::OnPageCompleted() { OnFavoritePageCompleted(*this); }

}  // namespace lumoapi::favorite
