#include "lumoapi/recommend/get_recommend_songs.h"

#include <utility>

#include "json_access.h"
#include "query_builder.h"
#include "utilities/json.h"

namespace lumoapi::recommend {
namespace {

using utilities::json::ToBoolean;
using utilities::json::ToString;

constexpr int kRecommendCount = 20;
constexpr int32_t kRecommendedKind = 2;

}  // namespace

GetRecommendSongs::GetRecommendSongs(std::wstring song_id) : song_id(std::move(song_id)) {}

GetRecommendSongs::~GetRecommendSongs() { StopHttpRequest(); }

// The service's method name is spelled this way.
std::wstring GetRecommendSongs::GetMethodName() { return L"norda.lumo.song.getRecommandSongList"; }

std::wstring GetRecommendSongs::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"song_id", song_id);
  AppendPair(builder, L"num", kRecommendCount);
  return QueryText(builder);
}

void GetRecommendSongs::ParseResult(web::json::value& answer) {
  const web::json::value& result = Member(answer, "result");
  if (!IsObject(result)) return;
  const web::json::value& list = Member(result, "list");
  if (!IsArray(list)) return;
  for (const web::json::value& entry : list.as_array()) {
    std::wstring id = ToString(Member(entry, "song_id"));
    // The player cannot play or look up a song without an identifier.
    if (id.empty() || id == L"0") continue;
    auto song = std::make_shared<utilities::SongInfo>();
    song->song_id = std::move(id);
    song->title = ToString(Member(entry, "title"));
    song->author = ToString(Member(entry, "author"));
    song->artist_id = ToString(Member(entry, "artist_id"));
    song->album_title = ToString(Member(entry, "album_title"));
    song->album_id = ToString(Member(entry, "album_id"));
    song->pic_big = LargePicture(entry);
    song->pic_small = SmallPicture(entry);
    song->has_mv = ToBoolean(Member(entry, "has_mv"), false);
    song->item_kind = kRecommendedKind;
    songs.push_back(std::move(song));
  }
}

}  // namespace lumoapi::recommend
