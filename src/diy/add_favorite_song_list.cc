#include "lumoapi/diy/add_favorite_song_list.h"

#include <utility>

#include "diy/diy_common.h"

namespace lumoapi::diy {

AddFavoriteSongList::AddFavoriteSongList(std::wstring kwtok, std::wstring list_id, int source)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)), source(source) {
  UseAccountSession(*this, this->kwtok);
}

AddFavoriteSongList::~AddFavoriteSongList() { StopHttpRequest(); }

std::wstring AddFavoriteSongList::GetMethodName() { return L"norda.lumo.ugcdiy.addFavoriteDiy"; }

std::wstring AddFavoriteSongList::BuildParams() { return FavoriteListParams(list_id, source); }

void AddFavoriteSongList::ParseResult(web::json::value& /*answer*/) {}

}  // namespace lumoapi::diy
