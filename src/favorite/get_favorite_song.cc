#include "lumoapi/favorite/get_favorite_song.h"

#include <utility>

#include "favorite/favorite_common.h"
#include "json_access.h"
#include "utilities/json.h"

namespace lumoapi::favorite {

GetFavoriteSong::GetFavoriteSong(std::wstring kwtok, unsigned int pn, unsigned int rn)
    : kwtok(std::move(kwtok)), pn(pn), rn(rn) {}

GetFavoriteSong::~GetFavoriteSong() { StopHttpRequest(); }

std::wstring GetFavoriteSong::GetMethodName() { return L"norda.lumo.favorite.getFavoriteSong"; }

std::wstring GetFavoriteSong::BuildParams() { return PageParams(kwtok, pn, rn); }

void GetFavoriteSong::ParseResult(web::json::value& answer) {
  using utilities::json::ToInt;
  using utilities::json::ToString;
  ReadHaveMore(answer, havemore);
  const web::json::value& result = Member(answer, "result");
  if (!IsArray(result)) return;
  for (const web::json::value& element : result.as_array()) {
    FavoriteSongItem song;
    song.song_id = ToString(Member(element, "song_id"));
    song.title = ToString(Member(element, "title"));
    song.artist = ToString(Member(element, "artist"));
    song.album_id = ToString(Member(element, "album_id"));
    song.album = ToString(Member(element, "album"));
    song.del_status = ToInt(Member(element, "del_status"), 0);
    song.resource_type = ToInt(Member(element, "resource_type"), 0);
    songs.push_back(std::move(song));
  }
}

}  // namespace lumoapi::favorite
