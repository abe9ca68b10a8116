#include "lumoapi/favorite/get_favorite_song.h"

#include <array>
#include <string_view>
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
  enum { kSongId, kTitle, kArtist, kAlbumId, kAlbum, kDelStatus, kResourceType };
  static constexpr std::array<std::string_view, 7> kKeys = {
      "song_id", "title", "artist", "album_id", "album", "del_status", "resource_type"};
  for (const web::json::value& element : result.as_array()) {
    const auto members = Members(element, kKeys);
    FavoriteSongItem song;
    song.song_id = ToString(*members[kSongId]);
    song.title = ToString(*members[kTitle]);
    song.artist = ToString(*members[kArtist]);
    song.album_id = ToString(*members[kAlbumId]);
    song.album = ToString(*members[kAlbum]);
    song.del_status = ToInt(*members[kDelStatus], 0);
    song.resource_type = ToInt(*members[kResourceType], 0);
    songs.push_back(std::move(song));
  }
}

}  // namespace lumoapi::favorite
