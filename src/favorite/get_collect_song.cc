#include "lumoapi/favorite/get_collect_song.h"

#include <stdexcept>
#include <utility>

#include "base/string_utils.h"
#include "favorite/favorite_common.h"
#include "json_access.h"
#include "lumoapi/diy/get_playlist.h"
#include "utilities/json.h"

namespace lumoapi::favorite {

GetCollectSong::GetCollectSong(std::wstring kwtok, unsigned int pn, unsigned int rn)
    : kwtok(std::move(kwtok)), pn(pn), rn(rn) {}

GetCollectSong::~GetCollectSong() { StopHttpRequest(); }

std::wstring GetCollectSong::GetMethodName() { return L"norda.lumo.favorite.getCollectSong"; }

std::wstring GetCollectSong::BuildParams() { return PageParams(kwtok, pn, rn); }

// Every code reaches ParseResult, which keeps 22000 and 22001 and fails the others.
bool GetCollectSong::IsErrorCodeAccepted() { return true; }

void GetCollectSong::ParseResult(web::json::value& answer) {
  using utilities::json::ToBoolean;
  using utilities::json::ToString;
  if (status != 22000 && status != 22001) {
    throw std::runtime_error(base::string_utils::ToUtf8(
        L"status error " + std::to_wstring(static_cast<uint32_t>(status))));
  }
  ReadHaveMore(answer, havemore);
  const web::json::value& result = Member(answer, "result");
  if (!IsArray(result)) return;
  for (const web::json::value& element : result.as_array()) {
    CollectSongItem song;
    song.song_id = ToString(Member(element, "song_id"));
    song.title = ToString(Member(element, "title"));
    song.artist = ToString(Member(element, "artist"));
    song.album = ToString(Member(element, "album"));
    song.album_id = ToString(Member(element, "album_id"));
    song.artist_id = diy::FirstOfCommaList(ToString(Member(element, "all_artist_id")));
    song.has_mv = ToBoolean(Member(element, "has_mv"), false);
    if (!song.song_id.empty()) songs.push_back(std::move(song));
  }
}

}  // namespace lumoapi::favorite
