#include "lumoapi/favorite/del_song_favorites.h"

#include <utility>

#include "favorite/favorite_common.h"

namespace lumoapi::favorite {

DelSongFavorites::DelSongFavorites(std::wstring kwtok, std::vector<std::wstring> song_ids)
    : kwtok(std::move(kwtok)), song_ids(std::move(song_ids)) {}

DelSongFavorites::~DelSongFavorites() { StopHttpRequest(); }

std::wstring DelSongFavorites::GetMethodName() { return L"norda.lumo.favorite.delSongFavorites"; }

std::wstring DelSongFavorites::BuildParams() { return SongIdParams(kwtok, song_ids); }

void DelSongFavorites::ParseResult(web::json::value& /*answer*/) {}

}  // namespace lumoapi::favorite
