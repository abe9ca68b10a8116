#include "lumoapi/diy/cancel_favorite_song_list.h"

#include <utility>

#include "diy/diy_common.h"

namespace lumoapi::diy {

CancelFavoriteSongList::CancelFavoriteSongList(std::wstring kwtok, std::wstring list_id, int source)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)), source(source) {
  UseAccountSession(*this, this->kwtok);
}

CancelFavoriteSongList::~CancelFavoriteSongList() { StopHttpRequest(); }

std::wstring CancelFavoriteSongList::GetMethodName() {
  return L"norda.lumo.ugcdiy.deleteFavoriteDiy";
}

std::wstring CancelFavoriteSongList::BuildParams() { return FavoriteListParams(list_id, source); }

void CancelFavoriteSongList::ParseResult(web::json::value& /*answer*/) {}

}  // namespace lumoapi::diy
