#include "lumoapi/diy/sort_song_list_songs.h"

#include <utility>

#include "diy/diy_common.h"
#include "query_builder.h"

namespace lumoapi::diy {

SortSongListSongs::SortSongListSongs(std::wstring kwtok, std::wstring list_id,
                                     std::vector<std::wstring> song_ids)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)), song_ids(std::move(song_ids)) {
  UseAccountSession(*this, this->kwtok);
}

SortSongListSongs::~SortSongListSongs() { StopHttpRequest(); }

std::wstring SortSongListSongs::GetMethodName() { return L"norda.lumo.ugcdiy.sortDiySongs"; }

std::wstring SortSongListSongs::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"list_id", list_id);
  AppendPair(builder, L"song_ids", JoinIds(song_ids));
  return QueryText(builder);
}

void SortSongListSongs::ParseResult(web::json::value& /*answer*/) {}

}  // namespace lumoapi::diy
