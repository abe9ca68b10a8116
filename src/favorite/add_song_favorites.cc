#include "lumoapi/favorite/add_song_favorites.h"

#include <utility>

#include "favorite/favorite_common.h"
#include "json_access.h"
#include "utilities/json.h"

namespace lumoapi::favorite {

AddSongFavorites::AddSongFavorites(std::wstring kwtok, std::vector<std::wstring> song_ids)
    : kwtok(std::move(kwtok)), song_ids(std::move(song_ids)) {}

AddSongFavorites::~AddSongFavorites() { StopHttpRequest(); }

std::wstring AddSongFavorites::GetMethodName() { return L"norda.lumo.favorite.addSongFavorites"; }

std::wstring AddSongFavorites::BuildParams() { return SongIdParams(kwtok, song_ids); }

void AddSongFavorites::ParseResult(web::json::value& answer) {
  const web::json::value& result = Member(answer, "result");
  if (!IsArray(result)) return;
  for (const web::json::value& element : result.as_array()) {
    if (element.is_string()) added_ids.push_back(utilities::json::WideOf(element.as_string()));
  }
}

}  // namespace lumoapi::favorite
