#include "lumoapi/diy/del_list_song.h"

#include <utility>

#include "diy/diy_common.h"
#include "query_builder.h"

namespace lumoapi::diy {

DelListSong::DelListSong(std::wstring kwtok, std::wstring list_id,
                         std::vector<std::wstring> song_ids)
    : kwtok(std::move(kwtok)), list_id(std::move(list_id)), song_ids(std::move(song_ids)) {
  UseAccountSession(*this, this->kwtok);
}

DelListSong::~DelListSong() { StopHttpRequest(); }

std::wstring DelListSong::GetMethodName() { return L"norda.lumo.ugcdiy.delListSongs"; }

std::wstring DelListSong::BuildParams() {
  QueryBuilder builder;
  AppendPair(builder, L"song_ids", JoinIds(song_ids));
  AppendPair(builder, L"list_id", list_id);
  return QueryText(builder);
}

void DelListSong::ParseResult(web::json::value& /*answer*/) {}

}  // namespace lumoapi::diy
