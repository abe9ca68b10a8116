#include "lumoapi/favorite/get_all_favorite_songs.h"

#include <utility>

#include "favorite/favorite_common.h"

namespace lumoapi::favorite {

GetAllFavoriteSongs::GetAllFavoriteSongs(std::wstring kwtok) : kwtok(std::move(kwtok)) {}

// The page request goes before the dispatcher: its answer may be handled on the network thread
// right now, and that handling may post through the dispatcher.
GetAllFavoriteSongs::~GetAllFavoriteSongs() { internal::DeleteInPlace(request); }

void GetAllFavoriteSongs::BeginRequest() {
  internal::StartRequest(this, &GetAllFavoriteSongs::OnPageCompleted, request,
                         std::make_unique<GetFavoriteSong>(kwtok, pn, kTaskPageSize));
}

unsigned int GetAllFavoriteSongs::_GetStatus() const {
  return request ? static_cast<unsigned int>(request->status) : 0;
}

bool GetAllFavoriteSongs::_GetSucceeded() const { return request && request->succeeded; }

void GetAllFavoriteSongs::OnPageCompleted() { OnFavoritePageCompleted(*this); }

}  // namespace lumoapi::favorite
