#include "lumoapi/favorite/del_collect_song.h"

#include <utility>

#include "favorite/favorite_common.h"

namespace lumoapi::favorite {

DelCollectSong::DelCollectSong(std::wstring kwtok, std::vector<std::wstring> song_ids)
    : kwtok(std::move(kwtok)), song_ids(std::move(song_ids)) {}

DelCollectSong::~DelCollectSong() { StopHttpRequest(); }

std::wstring DelCollectSong::GetMethodName() { return L"norda.lumo.favorite.delCollectSong"; }

std::wstring DelCollectSong::BuildParams() { return SongIdParams(kwtok, song_ids); }

void DelCollectSong::ParseResult(web::json::value& /*answer*/) {}

}  // namespace lumoapi::favorite
